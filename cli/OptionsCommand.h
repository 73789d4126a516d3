#pragma once
// gatewisecmd options: shows the options, or saves the ones named.

#include "cli/Session.h"

#include <vector>

namespace cli {

// NAME=True|False assignments of the four options that the options dialog
// edits, and VerifyPassword=True; none shows all six. Only the options
// named are saved, and each is read back: one that did not persist ends
// the command with exit code 1.
int Options(Session& session, const std::vector<CommandArgument>& assignments);

}  // namespace cli
