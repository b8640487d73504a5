#pragma once

// The embedded web browser as the web panels reach it: an interface id in
// the usual 128-bit layout and a reference-counted interface with Navigate. A
// backend provides the implementation (headless: one that only records the
// address; desktop: a real web view) through CActiveXUI::SetBrowserFactory.

#include <cstdint>
#include <string>

#include "platform/Com.h"
#include "platform/WinTypes.h"

namespace DuiLib {

struct IID {
    std::uint32_t data1;
    std::uint16_t data2;
    std::uint16_t data3;
    std::uint8_t data4[8];
    bool operator==(const IID&) const = default;
};

// D30C1661-CDAF-11D0-8A3E-00C04FC9E26E
inline constexpr IID IID_IWebBrowser2{0xD30C1661, 0xCDAF, 0x11D0, {0x8A, 0x3E, 0x00, 0xC0, 0x4F, 0xC9, 0xE2, 0x6E}};

// Reference counted: every pointer handed out carries one reference the
// receiver gives back with Release. UI thread.
class IWebBrowser2 {
public:
    virtual unsigned long AddRef() = 0;
    virtual unsigned long Release() = 0;
    // Starts loading `url`; the page loads asynchronously. S_OK when the
    // request was taken, a failure code for a null or empty address.
    virtual platform::HRESULT Navigate(const wchar_t* url) = 0;
    // The address last asked for ("" before any).
    virtual std::wstring GetLocationURL() const = 0;

protected:
    virtual ~IWebBrowser2() = default;
};

// What the ActiveX control needs of a browser beyond IWebBrowser2: to follow
// the control's place on its window.
class IEmbeddedBrowser : public IWebBrowser2 {
public:
    virtual void SetBounds(HWND window, const RECT& rect, bool visible) = 0;
    // Whether the last navigation has shown its page, or failed
    // (diagnostics and tests; a browser that draws nothing says neither).
    virtual bool IsPageShown() const { return false; }
    virtual bool HasFailed() const { return false; }
};

}  // namespace DuiLib
