#pragma once

// Stand-in for the component-object runtime's per-thread initialisation:
// nothing needs it here, but the start-up sequence keeps its step and its
// failure path.

#include <cstdint>

namespace platform {

using HRESULT = long;
inline constexpr HRESULT S_OK = 0;
// The classic value is a 32-bit pattern with the sign bit set; taken through
// int32_t so it stays negative where long has 64 bits.
inline constexpr HRESULT E_FAIL = static_cast<std::int32_t>(0x80004005u);
inline bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
inline bool FAILED(HRESULT hr) { return hr < 0; }

// S_OK, unless a test made it fail.
HRESULT CoInitialize(void* reserved);
void CoUninitialize();

// Test hook: makes the next CoInitialize calls fail (true) or succeed (false).
void SetCoInitializeFailsForTesting(bool fails);

}  // namespace platform
