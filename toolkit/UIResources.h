#pragma once

// Process-wide resource settings of the toolkit: the instance path, the
// resource folder and the skin archive, and reading a resource by name from
// whichever of them is in use. Every function may be called from any thread.

#include <string>

namespace DuiLib {

class UIResources {
public:
    // A trailing '/' is added when missing; "" goes back to the default,
    // platform::GetInstallFolder().
    static void SetInstancePath(const std::wstring& folder);
    static std::wstring GetInstancePath();
    // A trailing '/' is added when missing; "" goes back to the default, the
    // instance path. Drops the cached archive.
    static void SetResourcePath(const std::wstring& folder);
    static std::wstring GetResourcePath();
    // The skin archive, relative to the resource path or absolute; "" = none
    // (resources come from the resource folder). Drops the cached archive.
    static void SetResourceZip(const std::wstring& zipName);
    static std::wstring GetResourceZip();

    // The bytes of resource `name` ("launcherSkin.xml", "images/bg.png"; '\\'
    // counts as '/'). With an archive set: its entry of that name (exact, else
    // ignoring ASCII case); the archive is read whole on first use and kept,
    // so later reads never touch the file. Without: the file under the
    // resource folder. False when the resource or the archive is missing.
    static bool ReadResource(const std::wstring& name, std::string& bytes);
    // Forgets the cached archive; the next read opens it again.
    static void ClearCache();
};

}  // namespace DuiLib
