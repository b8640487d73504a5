#pragma once

// Start-up reading of the launcher's ini files in the installation folder:
// "qx.ini" (SetupStore), "resolution.ini" (SettingStore), "version.ini"
// (VersionStore), and the address files "Do.ini" and "web.ini", which may be
// scrambled and are then read through a temporary plain copy
// ("<name>.tmp", deleted again). Values read through the profile functions
// come through a 255-character buffer, so they are cut to 254 characters.
// UI thread, once, before the worker threads start.

#include <string>

#include "launcher/config/LauncherConfig.h"

// Sets config.appDir to the installation folder and loads SetupStore from
// its "qx.ini". False when qx.ini cannot be read.
bool LoadSetupIni(LauncherConfig& config);

// On a first run (no resolution.ini) creates it from [Setup] of qx.ini
// (Resolution "1024*768", FullScreen "0", Voice "82", BackGroundMusic ""
// where qx.ini has no value); then loads SettingStore from it.
bool PrepareResolutionIni(const LauncherConfig& config);

// On a first run (no version.ini) creates it from [Setup] Version and
// LVersion of qx.ini ("0.0" where missing); then loads VersionStore from it.
bool PrepareVersionIni(const LauncherConfig& config);

// Server-list and version addresses from SetupStore; the web pages from the
// compiled-in defaults.
void SetDefaultUrls(LauncherConfig& config);

// [Addr] of Do.ini over the current server-list and version addresses: a
// missing key keeps the address, a present but empty key empties it.
void LoadDoIni(LauncherConfig& config);

// [Web] of web.ini over the current web pages, the same way.
void LoadWebIni(LauncherConfig& config);

// True when the first section name of `path` is empty, which includes a
// missing file and a file without sections (such as a scrambled one).
bool IsScrambledIni(const std::wstring& path);

// All of the above in start-up order. A qx.ini that cannot be read is
// written to the run log (when open) as "load qx.ini error"; nothing else
// is reported here (the stores show their own boxes).
void RunConfigurationSteps(LauncherConfig& config);
