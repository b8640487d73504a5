// updatetool publish (being written).
#include "tools/updatetool/UpdateTool.h"
int RunPublish(const std::vector<std::string>&) { return Fail("publish is not built yet"); }
