#include "platform/Com.h"

#include <atomic>

namespace platform {

namespace {
std::atomic<bool> coInitializeFails{false};
}  // namespace

HRESULT CoInitialize(void* /*reserved*/) { return coInitializeFails.load() ? E_FAIL : S_OK; }

void CoUninitialize() {}

void SetCoInitializeFailsForTesting(bool fails) { coInitializeFails.store(fails); }

}  // namespace platform
