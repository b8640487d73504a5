#include "platform/MessageBox.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/Com.h"

TEST(MessageBox, PresenterShowsBoxesWhenNothingCaptures) {
    std::vector<std::wstring> shown;
    platform::SetMessageBoxPresenter([&](const platform::MessageBoxRecord& box) {
        shown.push_back(box.caption + L"/" + box.text);
        return 7;
    });
    EXPECT_EQ(platform::MessageBoxW(nullptr, L"text", L"cap", MB_OK), 7);
    platform::SetMessageBoxPresenter(nullptr);
    EXPECT_EQ(shown, std::vector<std::wstring>{L"cap/text"});
}

TEST(MessageBox, HeadlessBoxGoesToStandardErrorAsUtf8) {
    platform::SetMessageBoxPresenter(nullptr);
    testing::internal::CaptureStderr();
    const int answer = platform::MessageBoxW(nullptr, L"请关闭正在运行的游戏运行文件，再重新启动更新！", L"错误", MB_OK);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(answer, IDOK);
    EXPECT_EQ(err, "错误: 请关闭正在运行的游戏运行文件，再重新启动更新！\n");
}
