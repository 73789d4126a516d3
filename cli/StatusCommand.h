#pragma once
// gatewisecmd status: the mode, the three settings, the auto-logon account,
// the options and whether the program runs with administrator rights.

#include "cli/Session.h"

namespace cli {

int Status(Session& session);

}  // namespace cli
