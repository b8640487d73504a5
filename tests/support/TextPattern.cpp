#include "support/TextPattern.h"

#include <cstdio>

namespace testsupport {

TextPattern::TextPattern(const std::string& pattern) {
    const int error = regcomp(&regex_, pattern.c_str(), REG_EXTENDED);
    compiled_ = error == 0;
    if (!compiled_) {
        char message[256];
        regerror(error, &regex_, message, sizeof message);
        std::fprintf(stderr, "TextPattern: bad pattern '%s': %s\n", pattern.c_str(), message);
    }
}

TextPattern::~TextPattern() {
    if (compiled_) regfree(&regex_);
}

bool TextPattern::Matches(const std::string& text) const {
    std::vector<std::string> groups;
    return Run(text, true, groups);
}

bool TextPattern::Matches(const std::string& text, std::vector<std::string>& groups) const {
    return Run(text, true, groups);
}

bool TextPattern::Search(const std::string& text, std::vector<std::string>& groups) const {
    return Run(text, false, groups);
}

bool TextPattern::Run(const std::string& text, bool whole, std::vector<std::string>& groups) const {
    groups.clear();
    if (!compiled_) return false;
    std::vector<regmatch_t> found(regex_.re_nsub + 1);
    if (regexec(&regex_, text.c_str(), found.size(), found.data(), 0) != 0) return false;
    // regexec finds the leftmost-longest match, so a whole-text match, when
    // there is one, starts at 0 and ends at the text's end.
    if (whole && (found[0].rm_so != 0 || static_cast<std::size_t>(found[0].rm_eo) != text.size())) return false;
    for (const regmatch_t& m : found) {
        groups.push_back(m.rm_so < 0 ? std::string() : text.substr(m.rm_so, m.rm_eo - m.rm_so));
    }
    return true;
}

}  // namespace testsupport
