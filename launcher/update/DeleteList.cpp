#include "launcher/update/DeleteList.h"

#include <sys/stat.h>

#include <fstream>
#include <vector>

#include "launcher/RunLog.h"
#include "launcher/update/InstallJournal.h"
#include "platform/Utf8.h"

std::wstring DeleteListTarget(const std::wstring& appDir, const std::string& word) {
    std::wstring rel = platform::ToWide(word);
    for (wchar_t& c : rel)
        if (c == L'\\') c = L'/';
    if (rel.empty() || rel[0] == L'/' || (rel.size() >= 2 && rel[1] == L':')) return {};
    std::vector<std::wstring> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t sep = rel.find(L'/', start);
        const std::wstring part = rel.substr(start, sep == std::wstring::npos ? std::wstring::npos : sep - start);
        if (part == L"..") {
            if (parts.empty()) return {};
            parts.pop_back();
        } else if (!part.empty() && part != L".") {
            parts.push_back(part);
        }
        if (sep == std::wstring::npos) break;
        start = sep + 1;
    }
    if (parts.empty()) return {};
    std::wstring target = appDir;
    for (std::size_t i = 0; i < parts.size(); ++i) target += (i ? L"/" : L"") + parts[i];
    return target;
}

bool ProcessDeleteList(const std::wstring& listPath, const std::wstring& appDir, InstallJournal& journal) {
    std::ifstream list(platform::ToUtf8(listPath), std::ios::binary);
    std::string word;
    while (list >> word) {
        const std::wstring target = DeleteListTarget(appDir, word);
        if (target.empty()) {
            RUNLOG_WARNING(L"del.lst entry " + platform::ToWide(word) + L" is outside the game folder, refused");
            continue;
        }
        // The journal and the originals it keeps are the install's own undo:
        // deleting them would make the install impossible to roll back.
        if (IsJournalPath(target.substr(appDir.size()))) {
            RUNLOG_WARNING(L"del.lst entry " + platform::ToWide(word) + L" names the install journal, refused");
            continue;
        }
        struct stat st {};
        const std::string narrow = platform::ToUtf8(target);
        if (::lstat(narrow.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        if (!journal.MoveAside(target)) return false;
    }
    return true;
}
