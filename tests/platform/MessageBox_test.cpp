#include "platform/MessageBox.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "platform/Com.h"

TEST(MessageBox, InnermostCaptureRecordsAndOuterResumes) {
    platform::MessageBoxCapture outer;
    EXPECT_EQ(platform::MessageBoxW(nullptr, L"one", L"c", MB_OK), IDOK);
    {
        platform::MessageBoxCapture inner;
        platform::MessageBoxW(nullptr, L"two", L"c", MB_OK);
        ASSERT_EQ(inner.Boxes().size(), 1u);
        EXPECT_EQ(inner.Boxes()[0].text, L"two");
    }
    platform::MessageBoxW(nullptr, L"three", L"c", MB_OK);
    const auto boxes = outer.Boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, L"one");
    EXPECT_EQ(boxes[1].text, L"three");
}

TEST(MessageBox, BoxesFromWorkerThreadsAreAllRecorded) {
    platform::MessageBoxCapture capture;
    std::vector<std::thread> workers;
    for (int t = 0; t < 4; ++t) {
        workers.emplace_back([] {
            for (int i = 0; i < 50; ++i) platform::MessageBoxW(nullptr, L"worker", L"错误", MB_OK);
        });
    }
    for (std::thread& w : workers) w.join();
    EXPECT_EQ(capture.Boxes().size(), 200u);
}

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
