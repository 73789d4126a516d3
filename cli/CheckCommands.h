#pragma once
// gatewisecmd diagnose and selftest: read-only checks of the machine.

#include "cli/Session.h"
#include "settings/Options.h"

namespace cli {

// `target`: the mode whose switch the problems concern; pmCustom for both.
int Diagnose(Session& session, settings::TPromptMode target);
// Exit code kSelfTestFailed when any check failed; skipped ones do not count.
int SelfTest(Session& session);

}  // namespace cli
