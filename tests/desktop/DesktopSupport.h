#pragma once

#include <functional>
#include <string>

namespace testsupport {

// Runs the UI loop until `condition` holds or `timeoutMs` passes; true when it held.
bool PumpUntil(const std::function<bool()>& condition, int timeoutMs = 5000);

// Runs a shell command and returns its standard output (trailing newline cut).
std::string Capture(const std::string& command);

}  // namespace testsupport
