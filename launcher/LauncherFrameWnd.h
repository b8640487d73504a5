#pragma once

// The launcher's one main window. It loads its skin for the screen's size
// class, opens the run log and reads the whole configuration while its
// window is created, reacts to its buttons, and holds what the workers share
// with the UI thread. Its object is owned by the process entry
// (LauncherMain), never by the window: OnFinalMessage frees nothing. The
// pop-ups around it (web panels, update pane, register window, server-list
// pop-up, settings backdrop) own themselves; it holds ChildWindow handles
// that clear when they go, and destroys their windows at shutdown.
//
// UI thread, except the fields marked as shared with workers.

#include <atomic>
#include <cstdint>
#include <memory>

#include "launcher/RunLog.h"
#include "launcher/config/LauncherConfig.h"
#include "launcher/ui/ChildWindow.h"
#include "launcher/ui/ScreenLayout.h"
#include "launcher/ui/SkinnedWindow.h"
#include "toolkit/StdString.h"

namespace DuiLib {
class CControlUI;
}

class UINewsWnd;
class UINews2Wnd;
class UITopWnd;
class UIUpdateWnd;
class UIRegisterWnd;
class UIServerListWnd;
class UIBackGroundWnd;
struct LivePatchLoader;

class LauncherFrameWnd : public SkinnedWindow {
public:
    // Probes the screen (size class and panel offsets) and brings up wx's
    // base library for the process.
    LauncherFrameWnd();
    ~LauncherFrameWnd() override;

    const wchar_t* GetWindowClassName() const override { return L"UIMainFrame"; }
    UINT GetClassStyle() const override { return CS_DBLCLKS; }
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void OnFinalMessage(HWND hwnd) override;
    void Notify(DuiLib::TNotifyUI& msg) override;

    // Detaches and closes the run log (shutdown).
    void CloseRunLog();

    // Shutdown, in this order: the web panels, the server-list pop-up, the
    // register window and an open settings backdrop...
    void DestroyPopups();
    // ...then, after the run log, the update pane.
    void DestroyUpdatePane();
    // Shutdown with workers still running: every child object stays
    // allocated when its window goes, since a worker may still reach it.
    void LeaveChildWindowsAllocated();

    // The size of a file; 1, with an error line while the run log is open,
    // for a missing file, a folder or an unreadable size. Any thread.
    std::uint32_t ProbeFileSize(const std::wstring& path) const;

    // Folds the server-list pop-up away if it is open (any click in the
    // launcher's windows does this).
    void FoldServerListPopup();

    // --- Shared state ---
    DuiLib::CStdString serverListFile;  // "ServerList.xml" once a usable local list exists
    LauncherConfig config;              // appDir and every address; read-only after creation
    std::atomic<bool> updateBusy{false};        // shared with the update thread
    std::atomic<int> installTotal{0};           // shared with the update thread
    std::atomic<int> installDone{0};            // shared with the update thread
    std::unique_ptr<RunLog> runLog;             // null when run.log could not be opened
    std::atomic<bool> serverListRequest{false};  // shared with the server-list thread
    std::atomic<bool> windowReady{false};        // shared with the update thread
    std::atomic<std::uint32_t> readyTick{0};     // shared with the update thread
    // Set on the UI thread just before the update thread starts, cleared by
    // that thread as it ends; read by the Enter Game rule (EnterGameRule.h).
    std::atomic<bool> updateThreadRunning{false};
    // A package carried the launcher's self-updater: its full path and the
    // unpacked folder holding it (trailing separator). Written by the package
    // install and read at the next finished stage, both on the update thread.
    std::atomic<bool> selfUpdatePending{false};
    std::wstring updaterPath;
    std::wstring updaterSource;
    // The update library's record from the first version check until it is
    // unloaded; not owned. Written by the update thread, cleared at shutdown
    // once no worker runs.
    std::atomic<LivePatchLoader*> livePatchLoader{nullptr};
    int screenClass = 0;
    PanelOffsets offsets;

    // Buttons of the skin, null when it lacks them.
    DuiLib::CControlUI* closeBtn = nullptr;
    DuiLib::CControlUI* minBtn = nullptr;
    DuiLib::CControlUI* webBtn = nullptr;
    DuiLib::CControlUI* registerBtn = nullptr;
    DuiLib::CControlUI* rechargeBtn = nullptr;
    DuiLib::CControlUI* forumBtn = nullptr;
    DuiLib::CControlUI* gameSetBtn = nullptr;
    DuiLib::CControlUI* enterGameBtn = nullptr;
    DuiLib::CControlUI* custServiceBtn = nullptr;

    // Child windows, made in this order at window-init. Each frees itself
    // with its window and clears its handle here as it goes.
    ChildWindow<UINewsWnd> newsWnd;
    ChildWindow<UINews2Wnd> news2Wnd;
    ChildWindow<UITopWnd> topWnd;
    ChildWindow<UIUpdateWnd> updateWnd;          // the update pane
    ChildWindow<UIRegisterWnd> registerWnd;      // hidden, never moved
    ChildWindow<UIServerListWnd> serverListWnd;  // the server-list pop-up, hidden until asked for
    ChildWindow<UIBackGroundWnd> backGroundWnd;  // the settings backdrop while it is open

protected:
    std::wstring SkinFile() const override;
    void OnSkinReady() override;

private:
    // Run log and configuration, in start-up order.
    void OnPrepare();
    void OnWindowInit();
    // Makes a child window object, binds it to `slot` and creates its window
    // at `offset` from this window's top-left corner (T(LauncherFrameWnd&)).
    // False only when the object cannot be made: this window is then closed.
    template <class T>
    bool OpenChild(ChildWindow<T>& slot, POINT offset);
    // WM_MOVE: the pop-ups follow this window; the register window stays.
    void MoveChildWindows();
    // GameSetBtn: the settings backdrop, modal; returns when it has closed.
    void OpenGameSettings();
    LRESULT OnSysCommand(UINT msg, WPARAM wParam, LPARAM lParam);
    // Opens a web address in the desktop's browser; the result is ignored.
    void OpenPage(const std::wstring& url);
};

// The one main window while it exists; null before creation and after
// shutdown freed it. Workers read it; only the UI thread writes it.
extern std::atomic<LauncherFrameWnd*> theLauncherFrame;

// The operator's customer-service page: the compiled-in main site + "/kefu.php".
std::wstring CustomerServiceUrl();
