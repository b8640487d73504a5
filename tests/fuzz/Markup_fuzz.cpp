// Skin layouts come from a skin archive anyone can rebuild. Any bytes load
// or fail cleanly, in both encodings, and a loaded tree can be walked.

#include <cstdint>

#include "FuzzSupport.h"
#include "toolkit/Markup.h"

namespace {

int Walk(DuiLib::CMarkupNode node, int depth) {
    int nodes = 0;
    for (; node.IsValid(); node = node.GetSibling()) {
        ++nodes;
        FUZZ_CHECK(node.GetName() != nullptr);
        FUZZ_CHECK(node.GetValue() != nullptr);
        for (int i = 0; i < node.GetAttributeCount(); ++i) {
            const wchar_t* name = node.GetAttributeName(i);
            FUZZ_CHECK(name != nullptr && node.GetAttributeValue(i) != nullptr);
            FUZZ_CHECK(node.HasAttribute(name));
        }
        if (depth < 10000) nodes += Walk(node.GetChild(), depth + 1);
    }
    return nodes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    for (int encoding : {DuiLib::XMLFILE_ENCODING_UTF8, DuiLib::XMLFILE_ENCODING_UNICODE}) {
        DuiLib::CMarkup markup;
        const bool loaded = markup.LoadFromMem(data, size, encoding);
        FUZZ_CHECK(loaded == markup.IsValid());
        if (loaded) {
            FUZZ_CHECK(markup.GetLastErrorMessage().empty());
            FUZZ_CHECK(Walk(markup.GetRoot(), 0) >= 1);
        } else {
            FUZZ_CHECK(!markup.GetLastErrorMessage().empty());
        }
    }
    return 0;
}
