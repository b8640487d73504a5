#pragma once

// A start-up measuring hook. When the environment names an open file
// descriptor in LAUNCHER_FIRST_FRAME_FD, the first completed paint of any
// window writes "first frame\n" to it and closes it, so a benchmark can time
// start to first frame from outside. Without the variable nothing happens.

namespace platform {

// Called after each window paint; acts once. UI thread.
void MarkFirstFrame();

}  // namespace platform
