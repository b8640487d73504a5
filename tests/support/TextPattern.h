#pragma once

// A POSIX extended regular expression for tests. std::regex is not used:
// GCC 12's flow analysis reports uninitialised reads inside libstdc++'s
// regex automaton when the sanitizers are on, which would force
// -Wno-maybe-uninitialized on the whole project. POSIX ERE has no \d; write
// [0-9]. glibc accepts back-references (\1) in ERE.

#include <regex.h>

#include <string>
#include <vector>

namespace testsupport {

class TextPattern {
public:
    // A pattern that fails to compile matches nothing (and says so on stderr).
    explicit TextPattern(const std::string& pattern);
    ~TextPattern();
    TextPattern(const TextPattern&) = delete;
    TextPattern& operator=(const TextPattern&) = delete;

    // The whole of `text` matches.
    bool Matches(const std::string& text) const;
    // The whole of `text` matches; `groups` gets the whole match and each
    // group (an empty string for a group that took no part).
    bool Matches(const std::string& text, std::vector<std::string>& groups) const;
    // Some part of `text` matches; `groups` as above, [0] the part matched.
    bool Search(const std::string& text, std::vector<std::string>& groups) const;

private:
    bool Run(const std::string& text, bool whole, std::vector<std::string>& groups) const;

    regex_t regex_{};
    bool compiled_ = false;
};

}  // namespace testsupport
