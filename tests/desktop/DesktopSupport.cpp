#include "DesktopSupport.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "platform/Window.h"

namespace testsupport {

bool PumpUntil(const std::function<bool()>& condition, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    // A ticker task keeps the loop turning so the condition is re-checked
    // even when no native event arrives.
    bool expired = false;
    std::atomic<bool> stop{false};
    std::thread ticker([&] {
        while (!stop && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            platform::PostUiTask([] {});
        }
        platform::PostUiTask([&expired] { expired = true; });
    });
    const bool held = platform::RunModalLoop([&] { return condition() || expired; }) && condition();
    stop = true;
    // Drain the ticker so it never outlives this frame's references.
    while (ticker.joinable()) {
        platform::RunModalLoop([&] { return expired; });
        ticker.join();
    }
    platform::PumpPendingMessages();
    return held;
}

std::string Capture(const std::string& command) {
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[512];
        std::size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
        pclose(pipe);
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    return out;
}

}  // namespace testsupport
