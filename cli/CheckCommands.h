#pragma once
// gatewisecmd diagnose and selftest: checks of the machine, which only read,
// and the two things that diagnose does on request: a fix of one finding
// (--fix) and a try of the stored auto-logon password (--verify-stored).

#include "cli/Session.h"
#include "settings/Options.h"

#include <string>

namespace cli {

// `target`: the mode whose switch the problems concern; pmCustom for both.
int Diagnose(Session& session, settings::TPromptMode target);
// Applies the fix of check `id` (diagnostics/Fixes.h). Administrator only
// (kNeedsAdministrator); a setting that needs no fix is no failure.
int FixFinding(Session& session, const std::string& id);
// Tries the stored password once, after a warning that a wrong one counts
// toward the lockout. kNoAutologonAccount when nothing is stored to try,
// kPasswordRejected when Windows no longer accepts it.
int VerifyStoredPassword(Session& session);
// Exit code kSelfTestFailed when any check failed; skipped ones do not count.
int SelfTest(Session& session);
// A compliance check for management tools: kDone when the settings that the
// options cover are in `expected` mode, kNotInExpectedMode when they are not
// or cannot be read. The last line says which and what differs; nothing goes
// to standard error. With nobody signed in it judges the machine-wide
// settings alone, and says so.
int CheckMode(Session& session, settings::TPromptMode expected);

}  // namespace cli
