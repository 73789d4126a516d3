#pragma once
// Why a mode switch may not take effect: checks of the machine's settings
// around the three password prompts (policies that override them, things that
// stop automatic logon, settings that make a prompt moot). Every check only
// reads; nothing here changes the machine.

#include "settings/Options.h"

#include <string>
#include <vector>

namespace diagnostics {

enum class Verdict {
    Ok,
    Warning,  // may surprise the user, or concerns a setting the options leave alone
    Problem,  // a switch of a managed setting will not take effect, or the password is exposed
};

// "ok", "warning", "problem".
const char* VerdictName(Verdict verdict);

struct CheckResult {
    std::string id;       // stable, for scripts: "logon-banner", "wake-policy", ...
    Verdict verdict = Verdict::Ok;
    std::string finding;  // one line, UTF-8
    std::string fix;      // what to do, in words; empty when nothing needs doing
};

// Runs every check, in a fixed order, for the settings that `options` enable.
// A check that cannot read what it needs is a warning that says why.
//
// With a `target` mode, a problem is only what keeps a switch to that mode
// from taking effect: what would keep the other mode from it is information
// (an "ok" verdict), and any other problem (a password exposed) a warning.
// pmCustom reports for both modes.
std::vector<CheckResult> RunDiagnostics(settings::TOptions& options, settings::TPromptMode target = settings::pmCustom);

// Problems first, then warnings, then the rest; each group keeps its order.
void SortBySeverity(std::vector<CheckResult>& results);
bool HasProblem(const std::vector<CheckResult>& results);

}  // namespace diagnostics
