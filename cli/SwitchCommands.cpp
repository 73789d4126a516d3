#include "cli/SwitchCommands.h"

#include "cli/CommandText.h"
#include "cli/Password.h"
#include "diagnostics/Diagnostics.h"
#include "engine/ChangeLock.h"
#include "engine/ConsoleUser.h"
#include "engine/NTSecurity.h"
#include "engine/Utilities.h"
#include "engine/VistaPower.h"
#include "switching/LastSwitch.h"
#include "switching/Switch.h"
#include "switching/Undo.h"

#include <tuple>

namespace cli {
namespace {

const char kSessionLockedText[] =
    "The screen saver setting of the session cannot change while the computer is locked; nothing was changed. Run "
    "again when the user is signed in and the screen is unlocked.";

void VerifyCurrentPassword(Session& session) {
    const os::SecretString password = ReadPassword(session.In(), false);
    switch (engine::VerifyAccountPassword({}, {}, password)) {
    case engine::pcAccepted:
        if (password.empty())
            throw CommandFailure(kPasswordRejected,
                                 "Your user account is not password protected, so Secure Mode cannot be enabled. "
                                 "Set a password first.");
        return;
    case engine::pcRejected:
        throw CommandFailure(kPasswordRejected,
                             "The password does not match your Windows password, so Secure Mode was not enabled.");
    case engine::pcLockedOut:
        throw CommandFailure(kSystemError, std::string(kAccountLockedOutText) + " Secure mode was not enabled.");
    case engine::pcCannotVerify:
        break;
    }
    throw CommandFailure(kSystemError,
                         "Your Windows password cannot be verified, so Secure Mode was not enabled. Leave out "
                         "--verify to switch anyway.");
}

// Refuses a switch that would cover nothing, saying why: exit code 7 when
// nobody is signed in to own the screen saver setting, 3 when the rest needs
// administrator rights, 2 when the options or --only leave it out.
void RequireSomethingToSwitch(const switching::TCoverage& coverage) {
    if (!coverage.settings.Empty()) return;
    const auto leftFor = [&](switching::TLeftOutReason reason) {
        return !switching::LeftOutFor(coverage, reason).empty();
    };
    const ExitCode code = leftFor(switching::TLeftOutReason::NoConsoleUser)        ? kNoConsoleUser
                          : leftFor(switching::TLeftOutReason::NeedsAdministrator) ? kNeedsAdministrator
                                                                                   : kBadUsage;
    throw CommandFailure(code, "Nothing was switched: " + switching::WhyNothingIsCovered(coverage) + ".");
}

// The switch goes on: what stops automatic logon outside the start-up
// setting is for the user to decide (diagnose --fix).
void WarnOfPasswordLessSignIn(Session& session, const engine::AutologonAccount& account) {
    try {
        if (!diagnostics::PasswordLessSignInStops(account.user, account.domain)) return;
    } catch (const engine::Exception&) {
        return;  // a value that cannot be read: diagnose tells
    }
    session.Warn("Warning: Windows requires Windows Hello sign-in for Microsoft accounts, and " +
                 PrintableAccount(account.user, account.domain) +
                 " is one, so Windows will not log it on automatically. gatewisecmd diagnose --fix "
                 "password-less-sign-in turns that requirement off.");
}

// Relaxed mode for the next start only limits automatic logon: the start-up setting must be covered.
void RequireStartUpForOnce(const switching::TCoverage& coverage, bool administrator) {
    if (coverage.settings.startup) return;
    if (!administrator)
        throw CommandFailure(kNeedsAdministrator, "--once limits automatic logon, which needs administrator rights: "
                                                  "run gatewisecmd from an elevated command prompt. Nothing was "
                                                  "changed.");
    throw CommandFailure(kBadUsage, "--once limits automatic logon, and the start-up setting is " +
                                        std::string(switching::LeftOutFor(coverage, switching::TLeftOutReason::NotRequested)
                                                            .empty()
                                                        ? "left alone by the options (gatewisecmd options "
                                                          "AutochangeStartup=True)"
                                                        : "not named by --only") +
                                        ". Nothing was changed.");
}

// What a switch found and did while it held the lock.
struct LockedSwitch {
    SettingStates before;
    settings::TPromptMode previous;
    switching::TSwitchResult result;
};

LockedSwitch SwitchUnderLock(Session& session, settings::TPromptMode mode, bool once, bool administrator,
                             const switching::TCoverageRequest& request) {
    settings::TOptions& options = session.ProgramOptions();
    engine::TChangeLock lock(engine::TChangeLock::lpPerUser);
    const switching::TCoverage coverage = switching::LockForSwitch(options, lock, request);  // as the switch will
    RequireSomethingToSwitch(coverage);
    if (once) RequireStartUpForOnce(coverage, administrator);
    if (mode == settings::pmRelaxed && coverage.settings.startup) {
        const engine::AutologonAccount account = engine::GetAutologonAccount();
        if (account.user.empty() || !account.hasPassword)
            throw CommandFailure(kNoAutologonAccount,
                                 "Relaxed mode needs an auto-logon account with its password: set it with "
                                 "gatewisecmd account set --user NAME. Nothing was changed.");
        WarnOfPasswordLessSignIn(session, account);
    }
    LockedSwitch done{ReadSettings(coverage.settings), options.GetCurrentMode(), {}};
    try {
        Session::AuditWarnings logged(session);
        done.result = audit::SwitchMode(options, mode, lock, audit::orCommandLine, logged.list, once, request);
    } catch (const switching::ESwitchFailed& failure) {
        // Put back whole: a management tool may run the same command again later.
        if (failure.CauseCode == ERROR_OPERATION_IN_PROGRESS && failure.LeftChanged.empty())
            throw CommandFailure(kSessionLocked, kSessionLockedText);
        throw;
    }
    return done;
}

const char* ReasonKey(switching::TLeftOutReason reason) {
    switch (reason) {
    case switching::TLeftOutReason::NeedsAdministrator:
        return "needs-administrator";
    case switching::TLeftOutReason::NoConsoleUser:
        return "no-user";
    case switching::TLeftOutReason::Policy:
        return "policy";
    case switching::TLeftOutReason::NotRequested:
        return "not-in-only";
    case switching::TLeftOutReason::OptionsOff:
        break;
    }
    return "options";
}

// What a switch left out and why: the names, each with its reason, and a
// sentence per reason ("Left out, as ...: the resume setting."), in order.
// What the caller could not have switched is said as a warning too.
struct LeftOutReport {
    Json names = Json::array();
    Json reasons = Json::object();
    std::vector<std::string> lines;
    std::string administrator;  // the line for want of administrator rights, if any
    std::string noUser;         // the line for nobody at the console, if any
};

LeftOutReport ReportLeftOut(const switching::TCoverage& coverage) {
    LeftOutReport report;
    for (const switching::TLeftOut& left : coverage.leftOut) {
        report.names.push_back(switching::SettingKey(left.setting));
        report.reasons[switching::SettingKey(left.setting)] = ReasonKey(left.reason);
    }
    for (const auto& [reason, one, several] :
         {std::tuple{switching::TLeftOutReason::NeedsAdministrator, "it needs administrator rights",
                     "they need administrator rights"},
          std::tuple{switching::TLeftOutReason::Policy, "your organization's policy turns it off",
                     "your organization's policy turns them off"},
          std::tuple{switching::TLeftOutReason::NotRequested, "--only does not name it", "--only does not name them"},
          std::tuple{switching::TLeftOutReason::OptionsOff, "the options leave it alone",
                     "the options leave them alone"}}) {
        const std::vector<switching::TSetting> settings = switching::LeftOutFor(coverage, reason);
        if (settings.empty()) continue;
        report.lines.push_back(std::string("Left out, as ") + (settings.size() > 1 ? several : one) + ": " +
                               switching::SettingsText(settings) + ".");
        if (reason == switching::TLeftOutReason::NeedsAdministrator) report.administrator = report.lines.back();
    }
    if (!switching::LeftOutFor(coverage, switching::TLeftOutReason::NoConsoleUser).empty()) {
        const bool delay = engine::HasModernStandby();
        if (delay) {
            report.names.push_back("wakeSignInDelay");
            report.reasons["wakeSignInDelay"] = ReasonKey(switching::TLeftOutReason::NoConsoleUser);
        }
        report.noUser = std::string(kNoUserLeft) +
                        ": only the machine-wide settings were switched. Left, as they are the user's: the screen "
                        "saver setting" + (delay ? " and the wake sign-in delay." : ".");
        report.lines.push_back(report.noUser);
    }
    return report;
}

}  // namespace

std::optional<settings::TSettingSet> OnlySettings(const std::vector<std::string>& names) {
    if (names.empty()) return std::nullopt;
    settings::TSettingSet only;
    for (const std::string& name : names) {
        if (os::EqualsIgnoringCase(name, "startup")) only.startup = true;
        else if (os::EqualsIgnoringCase(name, "resume")) only.resume = true;
        else if (os::EqualsIgnoringCase(name, "screensaver")) only.screenSaver = true;
        else throw CommandFailure(kBadUsage, "--only takes startup, resume and screensaver, separated by commas.");
    }
    return only;
}

int Switch(Session& session, settings::TPromptMode mode, const SwitchOptions& given) {
    settings::TOptions& options = session.ProgramOptions();
    if (given.verify && session.LocalSystem())
        throw CommandFailure(kBadUsage, "Run as SYSTEM, gatewisecmd has no account of its own whose password --verify "
                                        "could check: leave it out. Nothing was changed.");
    if (mode == settings::pmRelaxed) settings::RequireRelaxedModeAllowed(options.Policies());
    const switching::TCoverageRequest request{given.only};
    const bool administrator = engine::IsAdministrator();
    options.AdoptStoredChanges();
    const switching::TCoverage planned = switching::DecideCoverage(options, request);
    RequireSomethingToSwitch(planned);
    if (given.once) RequireStartUpForOnce(planned, administrator);
    // The password is typed before the lock is taken: nobody waits for a user.
    if (mode == settings::pmSecure && given.verify) VerifyCurrentPassword(session);
    const LockedSwitch done = SwitchUnderLock(session, mode, given.once, administrator, request);
    const SettingStates& before = done.before;
    const settings::TPromptMode previous = done.previous;
    const switching::TSwitchResult& result = done.result;
    const switching::TSwitchRecord& record = result.record;
    if (!result.undoAvailable && !result.changedNothing)
        session.Warn("Warning: undo will not be available: the settings before the switch could not be stored "
                     "under " + UserRootName() + "\\" + os::ToUtf8(options.KeyPath()) + ".");

    const SettingState now = mode == settings::pmSecure ? SettingState::Asks : SettingState::DoesNotAsk;
    Json changes = Json::array();
    for (const auto& [name, covered, was] : {std::tuple{"startup", record.startup, before.startup},
                                             std::tuple{"resume", record.resume, before.resume},
                                             std::tuple{"screenSaver", record.screenSaver, before.screenSaver}})
        if (covered && was != now) changes.push_back(Change(name, SettingKey(was), SettingKey(now)));
    const LeftOutReport leftOut = ReportLeftOut(result.coverage);
    const bool noUser = !leftOut.noUser.empty();

    std::ostream& out = session.Out();
    if (session.WantsJson()) {
        if (!leftOut.administrator.empty()) session.AddWarning(leftOut.administrator);
        if (noUser) session.Warn(leftOut.noUser);
        WriteJson(out, Json{{"mode", ModeName(mode)},
                            {"once", record.once},
                            {"passwordRemoved", record.forgetsPassword},
                            {"previousMode", ModeName(previous)},
                            {"changes", changes},
                            {"alreadyInMode", result.changedNothing},
                            {"leftOut", leftOut.names},
                            {"leftOutReasons", leftOut.reasons},
                            {"settingsOf", OrNull(session.SettingsOwner())},
                            {"warnings", session.Warnings()}});
    } else {
        const std::string target = audit::ModeName(mode) + (record.once ? " for the next start-up only" : "");
        out << session.SettingsOwnerLine()
            << (result.changedNothing ? "The PC was already in " + target + "; nothing was changed.\n"
                                      : "Switched to " + target + ".\n");
        if (record.forgetsPassword)
            out << "The stored auto-logon password was removed; switching to Relaxed Mode asks for it again.\n";
        for (const std::string& line : leftOut.lines) out << line << '\n';
    }
    return noUser ? kNoConsoleUser : kDone;
}

int Undo(Session& session, bool force) {
    switching::TUndoOutcome outcome;
    {
        engine::TChangeLock lock(engine::TChangeLock::lpPerUser);
        Session::AuditWarnings logged(session);
        outcome = audit::UndoLastSwitch(session.ProgramOptions(), force, lock, audit::orCommandLine, logged.list);
    }
    if (!outcome.problem.empty()) session.Warn(outcome.problem);
    for (const std::string& scheme : outcome.schemesGone)
        session.Warn("Warning: the power plan " + scheme + " that the record names no longer exists; it was left out.");
    const std::optional<switching::TLastSwitch>& last = outcome.last;
    const std::string described =
        last ? "the switch to " + audit::ModeName(last->before.mode) + " of " +
                   switching::LocalTimeText(last->time)
             : std::string();
    std::string refusal;
    int code = kDone;
    switch (outcome.result) {
    case switching::TUndoResult::NeedsAdministrator:
        throw CommandFailure(kNeedsAdministrator, "Undoing " + described +
                                                      " needs administrator rights, as it changed the start-up or "
                                                      "resume setting: run gatewisecmd from an elevated command "
                                                      "prompt. Nothing was changed.");
    case switching::TUndoResult::NothingToUndo:
        refusal = "There is no switch to undo.";
        code = kNothingToUndo;
        break;
    case switching::TUndoResult::ChangedSince: {
        std::string names;
        for (const std::string& name : outcome.changed) names += (names.empty() ? "" : ", ") + name;
        refusal = (last->after ? "The settings changed since " + described + ": " + Printable(names) + "."
                               : "It cannot be told whether the settings changed since " + described +
                                     ", as that switch did not finish.") +
                  " Nothing was changed; gatewisecmd undo --force undoes the switch anyway.";
        code = kChangedSinceSwitch;
        break;
    }
    case switching::TUndoResult::RecordChanged:  // undo names no switch of its own
    case switching::TUndoResult::Done:
        break;
    }
    if (!refusal.empty()) session.Err() << refusal << '\n';
    const char* leftAsking = "The switch had removed the stored auto-logon password, so the start-up setting still "
                             "asks until a password is stored again (gatewisecmd account set).";
    if (!session.WantsJson()) {
        if (code == kDone) session.Out() << "Undid " << described << ": the settings are as they were before it.\n";
        if (code == kDone && outcome.startupLeftAsking) session.Out() << leftAsking << '\n';
        return code;
    }
    Json changed = Json::array();
    for (const std::string& name : outcome.changed) changed.push_back(name);
    // The undo is done: a mode that cannot be read now does not make it a failure.
    Json mode = nullptr;
    try {
        mode = ModeName(session.ProgramOptions().GetCurrentMode());
    } catch (const std::exception& error) {
        session.AddWarning(std::string("The mode could not be read afterwards: ") + error.what());
    }
    Json object{{"result", code == kDone ? "undone" : code == kChangedSinceSwitch ? "changed-since" : "nothing-to-undo"},
                {"switch", last ? Json{{"mode", ModeName(last->before.mode)},
                                       {"time", switching::UtcTimeText(last->time)},
                                       {"finished", last->after.has_value()}}
                                : Json(nullptr)},
                {"changedSince", changed},
                {"startupLeftAsking", outcome.startupLeftAsking},
                {"mode", mode},
                {"warnings", session.Warnings()}};
    // A refusal carries what a failed command's object holds as well.
    if (code != kDone) object.update(FailureJson(refusal, code));
    WriteJson(session.Out(), object);
    return code;
}

}  // namespace cli
