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

// Refuses a switch whose options, as they are stored now, leave it nothing to switch.
void RequireSomethingToSwitch(settings::TOptions& options, bool administrator, bool noUser) {
    if (noUser && !options.AutochangeStartup() && !options.AutochangeStandby())
        throw CommandFailure(kNoConsoleUser, std::string(kNoUserLeft) +
                                                 ", and the options enable only the screen saver setting, which is "
                                                 "theirs. Nothing was switched.");
    if (options.AutochangeStartup() || options.AutochangeStandby() || options.AutochangeScreenSaver()) return;
    if (!administrator)
        throw CommandFailure(kNeedsAdministrator,
                             "Nothing was switched: without administrator rights only the screen saver setting can "
                             "be, and the options leave it alone.");
    throw CommandFailure(kBadUsage,
                         "Nothing was switched: the options enable none of the three settings (see gatewisecmd "
                         "options).");
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
void RequireStartUpForOnce(settings::TOptions& options, bool administrator) {
    if (options.AutochangeStartup()) return;
    if (!administrator)
        throw CommandFailure(kNeedsAdministrator, "--once limits automatic logon, which needs administrator rights: "
                                                  "run gatewisecmd from an elevated command prompt. Nothing was "
                                                  "changed.");
    throw CommandFailure(kBadUsage, "--once limits automatic logon, and the options leave the start-up setting alone "
                                    "(gatewisecmd options AutochangeStartup=True). Nothing was changed.");
}

// What a switch found and did while it held the lock.
struct LockedSwitch {
    SettingStates before;
    settings::TPromptMode previous;
    switching::TSwitchResult result;
};

LockedSwitch SwitchUnderLock(Session& session, settings::TPromptMode mode, bool once, bool administrator,
                             bool noUser) {
    settings::TOptions& options = session.ProgramOptions();
    engine::TChangeLock lock(engine::TChangeLock::lpPerUser);
    switching::LockForSwitch(options, lock);  // as the switch will take them
    RequireSomethingToSwitch(options, administrator, noUser);
    if (once) RequireStartUpForOnce(options, administrator);
    if (mode == settings::pmRelaxed && options.AutochangeStartup()) {
        const engine::AutologonAccount account = engine::GetAutologonAccount();
        if (account.user.empty() || !account.hasPassword)
            throw CommandFailure(kNoAutologonAccount,
                                 "Relaxed mode needs an auto-logon account with its password: set it with "
                                 "gatewisecmd account set --user NAME. Nothing was changed.");
        WarnOfPasswordLessSignIn(session, account);
    }
    LockedSwitch done{ReadSettings(options), options.GetCurrentMode(), {}};
    try {
        Session::AuditWarnings logged(session);
        done.result = audit::SwitchMode(options, mode, lock, audit::orCommandLine, logged.list, once);
    } catch (const switching::ESwitchFailed& failure) {
        // Put back whole: a management tool may run the same command again later.
        if (failure.CauseCode == ERROR_OPERATION_IN_PROGRESS && failure.LeftChanged.empty())
            throw CommandFailure(kSessionLocked, kSessionLockedText);
        throw;
    }
    return done;
}

}  // namespace

int Switch(Session& session, settings::TPromptMode mode, bool verify, bool once) {
    settings::TOptions& options = session.ProgramOptions();
    if (verify && session.LocalSystem())
        throw CommandFailure(kBadUsage, "Run as SYSTEM, gatewisecmd has no account of its own whose password --verify "
                                        "could check: leave it out. Nothing was changed.");
    const bool administrator = engine::IsAdministrator();
    const bool noUser = engine::PerUserSettingsOutOfReach();
    options.AdoptStoredChanges();
    RequireSomethingToSwitch(options, administrator, noUser);
    if (once) RequireStartUpForOnce(options, administrator);
    // The password is typed before the lock is taken: nobody waits for a user.
    if (mode == settings::pmSecure && verify) VerifyCurrentPassword(session);
    const LockedSwitch done = SwitchUnderLock(session, mode, once, administrator, noUser);
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
    const char* leftOutNote = "Left out, as they need administrator rights: the start-up and resume settings.";
    Json leftOut = administrator ? Json::array() : Json::array({"startup", "resume"});
    std::string noUserNote;
    if (noUser) {
        const bool delay = engine::HasModernStandby();
        leftOut.push_back("screenSaver");
        if (delay) leftOut.push_back("wakeSignInDelay");
        noUserNote = std::string(kNoUserLeft) + ": only the machine-wide settings were switched. Left, as they are "
                     "the user's: the screen saver setting" + (delay ? " and the wake sign-in delay." : ".");
    }

    std::ostream& out = session.Out();
    if (session.WantsJson()) {
        if (!administrator) session.AddWarning(leftOutNote);
        if (noUser) session.Warn(noUserNote);
        WriteJson(out, Json{{"mode", ModeName(mode)},
                            {"once", record.once},
                            {"passwordRemoved", record.forgetsPassword},
                            {"previousMode", ModeName(previous)},
                            {"changes", changes},
                            {"alreadyInMode", result.changedNothing},
                            {"leftOut", leftOut},
                            {"settingsOf", OrNull(session.SettingsOwner())},
                            {"warnings", session.Warnings()}});
    } else {
        const std::string target = audit::ModeName(mode) + (record.once ? " for the next start-up only" : "");
        out << session.SettingsOwnerLine()
            << (result.changedNothing ? "The PC was already in " + target + "; nothing was changed.\n"
                                      : "Switched to " + target + ".\n");
        if (record.forgetsPassword)
            out << "The stored auto-logon password was removed; switching to Relaxed Mode asks for it again.\n";
        if (!administrator) out << leftOutNote << '\n';
        if (noUser) out << noUserNote << '\n';
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
    Json object{{"result", code == kDone ? "undone" : code == kChangedSinceSwitch ? "changed-since" : "nothing-to-undo"},
                {"switch", last ? Json{{"mode", ModeName(last->before.mode)},
                                       {"time", switching::UtcTimeText(last->time)},
                                       {"finished", last->after.has_value()}}
                                : Json(nullptr)},
                {"changedSince", changed},
                {"startupLeftAsking", outcome.startupLeftAsking},
                {"mode", ModeName(session.ProgramOptions().GetCurrentMode())},
                {"warnings", session.Warnings()}};
    // A refusal carries what a failed command's object holds as well.
    if (code != kDone) object.update(FailureJson(refusal, code));
    WriteJson(session.Out(), object);
    return code;
}

}  // namespace cli
