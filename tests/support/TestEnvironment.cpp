#include "support/TestEnvironment.h"

#include <wx/app.h>
#include <wx/init.h>

namespace testsupport {

void TestEnvironment::SetUp() { wxInitialize(); }

void TestEnvironment::TearDown() { wxUninitialize(); }

}  // namespace testsupport
