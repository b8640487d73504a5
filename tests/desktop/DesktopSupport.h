#pragma once

#include <wx/image.h>

#include <functional>
#include <string>

namespace testsupport {

// Runs the UI loop until `condition` holds or `timeoutMs` passes; true when it held.
bool PumpUntil(const std::function<bool()>& condition, int timeoutMs = 5000);

// Runs a shell command and returns its standard output (trailing newline cut).
std::string Capture(const std::string& command);

// Position and size X reports for the first window titled exactly `title`.
bool XGeometry(const std::string& title, int& x, int& y, int& w, int& h);
// The X id of the first visible window titled exactly `title`, or "".
std::string XWindowId(const std::string& title);
// The geometry of the X window `id` (as XWindowId gives it).
bool XGeometryOf(const std::string& id, int& x, int& y, int& w, int& h);

// The whole screen as the X server shows it (ImageMagick's `import`).
bool CaptureScreen(wxImage& out);
// Runs the UI loop, taking a screenshot every 150 ms, until `check` accepts
// one or `timeoutMs` passes; `last` holds the last screenshot.
bool PumpUntilScreen(const std::function<bool(const wxImage&)>& check, wxImage& last, int timeoutMs = 8000);
// Colour of one screen pixel as 0xRRGGBB, or -1 outside the image.
long PixelAt(const wxImage& image, int x, int y);
// Pixels in the box whose colour differs from `background` by more than a
// little (anti-aliased text edges count).
int PixelsUnlike(const wxImage& image, int left, int top, int right, int bottom, long background);

}  // namespace testsupport
