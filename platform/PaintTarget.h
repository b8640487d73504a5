#pragma once

// What a window's proc receives with WM_PAINT on the desktop: wParam points
// to a PaintTarget for the duration of the call. Headless windows are never
// painted by the layer; a WM_PAINT sent with wParam 0 has nothing to draw on.

#include "platform/WinTypes.h"

class wxDC;

namespace platform {

struct PaintTarget {
    wxDC* dc = nullptr;  // the client area's buffered DC; not owned
    RECT update;         // client-coordinate box that needs repainting
};

}  // namespace platform
