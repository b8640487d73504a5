// updatetool verify (being written).
#include "tools/updatetool/UpdateTool.h"
int RunVerify(const std::vector<std::string>&) { return Fail("verify is not built yet"); }
