#include "toolkit/Markup.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using DuiLib::CMarkup;
using DuiLib::CMarkupNode;

bool LoadBytes(CMarkup& markup, const std::string& bytes, int encoding = DuiLib::XMLFILE_ENCODING_UTF8) {
    return markup.LoadFromMem(reinterpret_cast<const BYTE*>(bytes.data()), bytes.size(), encoding);
}

std::string Utf16Le(const std::u16string& text, bool bom) {
    std::string bytes = bom ? std::string("\xFF\xFE") : std::string();
    for (char16_t unit : text) {
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>(unit >> 8));
    }
    return bytes;
}

// What a scrambled file looks like: every byte shifted by a key byte.
std::string Scramble(const std::string& plain) {
    const std::string key = "k3Y9xQ2m";
    std::string out = plain;
    for (std::size_t i = 0; i < out.size(); ++i) out[i] = static_cast<char>(out[i] + key[i % key.size()]);
    return out;
}

const std::string kServerList =
    "<tarno>\n"
    "  <area pid=\"1\" name=\"电信\"><server sid=\"11\" name=\"一区\"/><server sid=\"12\" name=\"二区\"/></area>\n"
    "  <area pid=\"2\" name=\"网通\"/>\n"
    "</tarno>\n";

TEST(Markup, AcceptsWellFormedDocumentsInEveryEncodingForm) {
    struct Case {
        const char* what;
        std::string bytes;
        int encoding;
    };
    const std::vector<Case> cases = {
        {"UTF-8 without BOM", kServerList, DuiLib::XMLFILE_ENCODING_UTF8},
        {"UTF-8 with BOM", "\xEF\xBB\xBF" + kServerList, DuiLib::XMLFILE_ENCODING_UTF8},
        {"declaration, comments and CRLF", "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<!-- c -->\r\n" + kServerList +
                                               "<!-- trailing -->\r\n",
         DuiLib::XMLFILE_ENCODING_UTF8},
        {"ANSI is UTF-8 here", kServerList, DuiLib::XMLFILE_ENCODING_ASNI},
        {"UTF-16LE with BOM", Utf16Le(u"<tarno><area pid=\"1\" name=\"电信\"/></tarno>", true),
         DuiLib::XMLFILE_ENCODING_UTF8},
        {"UTF-16LE asked for", Utf16Le(u"<tarno><area pid=\"1\" name=\"电信\"/></tarno>", false),
         DuiLib::XMLFILE_ENCODING_UNICODE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CMarkup markup;
        ASSERT_TRUE(LoadBytes(markup, c.bytes, c.encoding)) << std::string(markup.GetLastErrorMessage().begin(),
                                                                          markup.GetLastErrorMessage().end());
        EXPECT_TRUE(markup.IsValid());
        EXPECT_TRUE(markup.GetLastErrorMessage().empty());
        CMarkupNode area = markup.GetRoot().GetChild();
        EXPECT_STREQ(markup.GetRoot().GetName(), L"tarno");
        EXPECT_STREQ(area.GetName(), L"area");
        EXPECT_STREQ(area.GetAttributeValue(L"name"), L"电信");
    }
}

TEST(Markup, RefusesEverythingThatIsNotOneWellFormedTree) {
    std::string binary;
    for (int i = 0; i < 512; ++i) binary.push_back(static_cast<char>((i * 7919) & 0xFF));
    struct Case {
        const char* what;
        std::string bytes;
    };
    const std::vector<Case> cases = {
        {"empty", ""},
        {"BOM only", "\xEF\xBB\xBF"},
        {"whitespace only", "  \r\n\t"},
        {"scrambled", Scramble(kServerList)},
        {"binary", binary},
        {"truncated inside a tag", kServerList.substr(0, 20)},
        {"truncated before the root closes", kServerList.substr(0, kServerList.size() - 9)},
        {"NUL after a complete root", std::string("<a/>\0<b>", 8)},
        {"NUL inside the root", std::string("<a>\0</a>", 8)},
        {"text before the root", "garbage<tarno/>"},
        {"text after the root", "<tarno/>garbage"},
        {"two roots", "<tarno/><tarno/>"},
        {"mismatched end tag", "<tarno><area></server></tarno>"},
        {"invalid UTF-8 in text", "<tarno>\xC0\xAF</tarno>"},
        {"invalid UTF-8 in a name", "<tar\xC0no/>"},
        {"invalid UTF-8 in a comment", "<!-- \xB5\xE7 --><tarno/>"},
        {"a NUL in a value", std::string("<tarno name=\"a\0b\"/>", 19)},
        {"UTF-16 with an odd byte count", std::string("\xFF\xFE<\0a\0/\0>\0!", 11)},
        {"UTF-16 unpaired surrogate", Utf16Le(u"<a b=\"\xD800\"/>", true)},
        {"plain text", "hello world"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CMarkup markup;
        EXPECT_FALSE(LoadBytes(markup, c.bytes));
        EXPECT_FALSE(markup.IsValid());
        EXPECT_FALSE(markup.GetRoot().IsValid());
        EXPECT_FALSE(markup.GetLastErrorMessage().empty());
    }
}

// One field saved in another encoding costs only its own odd bytes: each
// reads as U+FFFD, and everything around it as written.
TEST(Markup, StrayBytesInsideValuesReadAsReplacementCharacters) {
    const struct {
        const char* what;
        std::string bytes;
        const wchar_t* value;
    } cases[] = {
        {"a GBK name", "<tarno name=\"\xB5\xE7\xD0\xC5\"/>", L"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"one byte among UTF-8", "<tarno name=\"电\xFF信\"/>", L"电\uFFFD信"},
        {"a cut sequence at the end", "<tarno name='ab\xE7\x94'/>", L"ab\uFFFD\uFFFD"},
        {"after a BOM", "\xEF\xBB\xBF<tarno name=\"\xC0\xAF\"/>", L"\uFFFD\uFFFD"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CMarkup markup;
        ASSERT_TRUE(LoadBytes(markup, c.bytes));
        EXPECT_STREQ(markup.GetRoot().GetAttributeValue(L"name"), c.value);
    }
}

TEST(Markup, FailedLoadReleasesThePreviousDocument) {
    CMarkup markup(L"<a><b/></a>");
    ASSERT_TRUE(markup.IsValid());
    EXPECT_FALSE(LoadBytes(markup, "<a>"));
    EXPECT_FALSE(markup.IsValid());
    EXPECT_STREQ(markup.GetRoot().GetName(), L"");
    EXPECT_TRUE(markup.Load(L"<c/>"));
    EXPECT_STREQ(markup.GetRoot().GetName(), L"c");
    markup.Release();
    EXPECT_FALSE(markup.IsValid());
}

TEST(Markup, AttributesKeepDocumentOrderAndDuplicates) {
    CMarkup markup(L"<server port=\"0080\" sid=\" 7 \" name=\"a\" sid=\"8\" empty=\"\" esc=\"&lt;&amp;&#x4E00;\"/>");
    ASSERT_TRUE(markup.IsValid());
    const CMarkupNode server = markup.GetRoot();
    ASSERT_EQ(server.GetAttributeCount(), 6);
    const wchar_t* names[] = {L"port", L"sid", L"name", L"sid", L"empty", L"esc"};
    const wchar_t* values[] = {L"0080", L" 7 ", L"a", L"8", L"", L"<&一"};
    for (int i = 0; i < 6; ++i) {
        EXPECT_STREQ(server.GetAttributeName(i), names[i]) << i;
        EXPECT_STREQ(server.GetAttributeValue(i), values[i]) << i;
    }
    // Lookup by name agrees with a reader that walks them all: the last wins.
    EXPECT_STREQ(server.GetAttributeValue(L"sid"), L"8");
    EXPECT_STREQ(server.GetAttributeValue(L"empty"), L"");
    EXPECT_EQ(server.GetAttributeValue(L"missing"), nullptr);
    EXPECT_EQ(server.GetAttributeValue(L"Port"), nullptr) << "names are case-sensitive";
    EXPECT_TRUE(server.HasAttribute(L"empty"));
    EXPECT_FALSE(server.HasAttribute(L"missing"));
    for (int index : {-1, 6, 1000}) {
        EXPECT_STREQ(server.GetAttributeName(index), L"");
        EXPECT_STREQ(server.GetAttributeValue(index), L"");
    }
}

TEST(Markup, NavigatesElementsOnlyInDocumentOrder) {
    CMarkup markup(
        L"<tarno>text<!-- note --><area n=\"1\"><server n=\"a\"/>mid<server n=\"b\"><deep/></server></area>"
        L"<?pi x?><other/><area n=\"2\"/>tail</tarno>");
    ASSERT_TRUE(markup.IsValid());
    const CMarkupNode root = markup.GetRoot();
    EXPECT_FALSE(root.GetParent().IsValid());
    EXPECT_FALSE(root.HasSiblings());
    EXPECT_STREQ(root.GetValue(), L"texttail");

    std::vector<std::wstring> names;
    for (CMarkupNode child = root.GetChild(); child.IsValid(); child = child.GetSibling()) {
        names.push_back(std::wstring(child.GetName()) + L":" + (child.GetAttributeValue(L"n") ? child.GetAttributeValue(L"n") : L"-"));
    }
    EXPECT_EQ(names, (std::vector<std::wstring>{L"area:1", L"other:-", L"area:2"}));

    const CMarkupNode area = root.GetChild(L"area");
    EXPECT_STREQ(area.GetAttributeValue(L"n"), L"1");
    EXPECT_TRUE(area.HasChildren());
    EXPECT_TRUE(area.HasSiblings());
    EXPECT_STREQ(area.GetValue(), L"mid");
    const CMarkupNode second = area.GetChild().GetSibling();
    EXPECT_STREQ(second.GetAttributeValue(L"n"), L"b");
    EXPECT_FALSE(second.HasSiblings());
    EXPECT_STREQ(second.GetParent().GetAttributeValue(L"n"), L"1");
    EXPECT_STREQ(second.GetChild(L"deep").GetParent().GetParent().GetName(), L"area");
    EXPECT_FALSE(root.GetChild(L"other").HasChildren());
    EXPECT_FALSE(root.GetChild(L"server").IsValid()) << "GetChild(name) looks one level down only";
    EXPECT_FALSE(root.GetChild(L"Area").IsValid());
    EXPECT_FALSE(root.GetChild(nullptr).IsValid());
}

TEST(Markup, InvalidNodesAnswerNothingSafely) {
    const CMarkupNode node;
    EXPECT_FALSE(node.IsValid());
    EXPECT_FALSE(node.GetParent().IsValid());
    EXPECT_FALSE(node.GetSibling().IsValid());
    EXPECT_FALSE(node.GetChild().IsValid());
    EXPECT_FALSE(node.GetChild(L"x").IsValid());
    EXPECT_FALSE(node.HasSiblings());
    EXPECT_FALSE(node.HasChildren());
    EXPECT_STREQ(node.GetName(), L"");
    EXPECT_STREQ(node.GetValue(), L"");
    EXPECT_FALSE(node.HasAttributes());
    EXPECT_FALSE(node.HasAttribute(L"x"));
    EXPECT_EQ(node.GetAttributeCount(), 0);
    EXPECT_STREQ(node.GetAttributeName(0), L"");
    EXPECT_STREQ(node.GetAttributeValue(0), L"");
    EXPECT_EQ(node.GetAttributeValue(L"x"), nullptr);

    CMarkup empty;
    EXPECT_FALSE(empty.GetRoot().IsValid());
    EXPECT_FALSE(empty.Load(nullptr));
    EXPECT_FALSE(empty.LoadFromMem(nullptr, 10));
}

TEST(Markup, ConvertsNonAsciiAndDeepDocumentsWithoutLoss) {
    CMarkup markup;
    ASSERT_TRUE(LoadBytes(markup, "<t a=\"\xF0\x9F\x98\x80\xE6\xB5\x8B\">\xC3\xA9<![CDATA[<x>]]></t>"));
    EXPECT_STREQ(markup.GetRoot().GetAttributeValue(L"a"), L"\U0001F600测");
    EXPECT_STREQ(markup.GetRoot().GetValue(), L"é<x>");

    // Nesting far beyond any call stack budget.
    constexpr int kDepth = 200000;
    std::string deep;
    for (int i = 0; i < kDepth; ++i) deep += "<d>";
    for (int i = 0; i < kDepth; ++i) deep += "</d>";
    ASSERT_TRUE(LoadBytes(markup, deep));
    CMarkupNode node = markup.GetRoot();
    int depth = 0;
    for (; node.HasChildren(); node = node.GetChild()) ++depth;
    EXPECT_EQ(depth, kDepth - 1);
}

}  // namespace
