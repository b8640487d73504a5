#pragma once

// The addresses the launcher is configured with at start-up: the
// installation folder, the server-list and version-check addresses and the
// web pages. Filled once on the UI thread by the ini loaders
// (LauncherIni.h) before any worker starts; read-only afterwards, so workers
// may read it without a lock.

#include <string>

struct LauncherConfig {
    std::wstring appDir;  // installation folder, trailing separator

    std::wstring serverListUrl1;
    std::wstring serverListUrl2;
    std::wstring updateVersionUrl1;
    std::wstring updateVersionUrl2;

    std::wstring websiteUrl;
    std::wstring rechargeUrl;
    std::wstring registerUrl;
    std::wstring bbsUrl;
    std::wstring topUrl;
    std::wstring top600Url;
    std::wstring leftUrl;
    std::wstring left600Url;
    std::wstring rightUrl;
    std::wstring right600Url;
};
