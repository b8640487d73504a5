#include "platform/InstallFolder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "platform/Utf8.h"

TEST(InstallFolder, DefaultsToTheExecutablesFolderWithASeparator) {
    platform::SetInstallFolder(L"");
    std::string exe(4096, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", exe.data(), exe.size());
    ASSERT_GT(n, 0);
    exe.resize(static_cast<std::size_t>(n));
    EXPECT_EQ(platform::GetInstallFolder(), platform::ToWide(exe.substr(0, exe.rfind('/') + 1)));
}

TEST(InstallFolder, OverrideGetsATrailingSeparatorAndCanBeUndone) {
    const std::wstring original = platform::GetInstallFolder();
    platform::SetInstallFolder(L"/opt/game");
    EXPECT_EQ(platform::GetInstallFolder(), L"/opt/game/");
    platform::SetInstallFolder(L"/opt/游戏/");
    EXPECT_EQ(platform::GetInstallFolder(), L"/opt/游戏/");
    platform::SetInstallFolder(L"");
    EXPECT_EQ(platform::GetInstallFolder(), original);
}

TEST(InstallFolder, LastPathComponentSplitsOnBothSeparators) {
    const std::pair<std::wstring, std::wstring> cases[] = {
        {L"/usr/bin/qx.exe", L"qx.exe"},
        {L"C:\\Game\\qx.exe", L"qx.exe"},
        {L"C:\\Game/sub\\x.dll", L"x.dll"},
        {L"qx.exe", L"qx.exe"},
        {L"/folder/", L""},
        {L"", L""},
    };
    for (const auto& [path, last] : cases) EXPECT_EQ(platform::LastPathComponent(path), last);
}
