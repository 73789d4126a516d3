#pragma once
// Why a mode switch may not take effect: checks of the machine's settings
// around the three password prompts (policies that override them, things that
// stop automatic logon, settings that make a prompt moot). Every check only
// reads; nothing here changes the machine (the fixes that some findings
// offer are diagnostics/Fixes.h). Each check runs on its own as well, and
// all but bitlocker-pin read only the registry and the account.

#include "os/Text.h"
#include "settings/Options.h"

#include <functional>
#include <string>
#include <string_view>
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
    bool fixable = false; // Gatewise can apply the fix itself (diagnostics/Fixes.h)
};

// Runs every check, in a fixed order, for the settings that `options` enable.
// A check that cannot read what it needs is a warning that says why.
//
// With a `target` mode, a problem is only what keeps a switch to that mode
// from taking effect: what would keep the other mode from it is information
// (an "ok" verdict), and any other problem (a password exposed) a warning.
// pmCustom reports for both modes.
std::vector<CheckResult> RunDiagnostics(settings::TOptions& options, settings::TPromptMode target = settings::pmCustom);
// The ids of every check, in that order.
std::vector<std::string> CheckIds();
// One check alone, with the same verdicts; an unknown id raises std::invalid_argument.
CheckResult RunCheck(std::string_view id, settings::TOptions& options,
                     settings::TPromptMode target = settings::pmCustom);

// The quick checks (registry and account only: never bitlocker-pin) that
// keep `mode` from taking effect now, each as a problem for a switch to it,
// in a fixed order; none for pmCustom. A check that cannot read what it needs
// is left out: Check settings tells of it.
std::vector<CheckResult> ChecksOverriding(settings::TOptions& options, settings::TPromptMode mode);
// One sentence for the user: how the check `id` keeps `mode` from taking effect.
std::string OverrideSummary(std::string_view id, settings::TPromptMode mode);

// Whether Windows' requirement of Windows Hello sign-in for Microsoft
// accounts (DevicePasswordLessBuildVersion = 2) keeps it from logging this
// account on automatically: it does for a Microsoft account. A value of
// another type raises ERegistryException.
bool PasswordLessSignInStops(const os::WString& user, const os::WString& domain);

// The report as gatewisecmd diagnose prints it and the check window copies
// it: problems first, each finding as its verdict and id, then its text and
// fix indented on the lines below, and last the number of problems and
// warnings (for `target` when it is a mode). `printable` makes each text of a
// finding fit for where it goes. Lines end in "\n".
std::string ReportText(std::vector<CheckResult> results, settings::TPromptMode target,
                       const std::function<std::string(std::string_view)>& printable);

// Problems first, then warnings, then the rest; each group keeps its order.
void SortBySeverity(std::vector<CheckResult>& results);
bool HasProblem(const std::vector<CheckResult>& results);

}  // namespace diagnostics
