#include "audit/Audit.h"

#include "diagnostics/AutologonState.h"
#include "engine/AccountNames.h"
#include "engine/ChangeLock.h"
#include "engine/OsError.h"
#include "os/UniqueHandle.h"
#include "os/WinApi.h"

namespace audit {
namespace {

struct EventSourceTraits {
    using Handle = HANDLE;
    static void Close(HANDLE source) { os::Api().DeregisterEventSource(source); }
};
using EventSource = os::UniqueHandle<EventSourceTraits>;

std::string Joined(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
    return text;
}

// An account's name as an event shows it: no character of it can start a line of its own.
std::string EventAccountName(const os::WString& user, const os::WString& domain) {
    return engine::EscapedText(diagnostics::AccountDisplayName(user, domain));
}

std::string CurrentUser() {
    try {
        const engine::UserAccount account = engine::GetCurrentUserAccount();
        return EventAccountName(account.user, account.domain);
    } catch (const std::exception& error) {
        return std::string("unknown (") + error.what() + ")";
    }
}

const char* ProgramName(TOrigin origin) {
    return origin == orWindow ? "gatewise.exe (the window)" : "gatewisecmd.exe (the command line)";
}

std::vector<os::WString> EventStrings(const TChange& change) {
    const std::string result = change.error.empty() ? "done." : "failed. " + change.error;
    return {os::FromUtf8(change.summary), os::FromUtf8("User: " + CurrentUser()),
            os::FromUtf8(std::string("Program: ") + ProgramName(change.origin)), os::FromUtf8(change.details),
            os::FromUtf8("Result: " + result)};
}

std::string FromMode(std::optional<settings::TPromptMode> from) {
    return from ? ModeName(*from) : std::string("an unknown mode");
}

std::string ResumeSetting(const switching::TSwitchRecord& record) {
    std::string text = record.passwordOnResumeFlag ? "resume (the password on resume of the power policy"
                       : record.allSchemes         ? "resume (the password on wake of every power plan"
                                                   : "resume (the password on wake of the active power plan";
    if (record.modernStandby) text += ", DelayLockInterval";
    return text + ")";
}

// The settings that a switch covers, in the order it writes them.
std::string SettingsWritten(const switching::TSwitchRecord& record) {
    std::vector<std::string> settings;
    if (record.startup)
        settings.push_back(record.autoLogonCountCovered ? "start-up (AutoAdminLogon, AutoLogonCount)"
                                                        : "start-up (AutoAdminLogon)");
    if (record.resume) settings.push_back(ResumeSetting(record));
    if (record.screenSaver)
        settings.push_back(record.screenSaverParameter ? "screen saver (ScreenSaverIsSecure and the session's setting)"
                                                       : "screen saver (ScreenSaverIsSecure)");
    std::string written = "Settings written: " + (settings.empty() ? std::string("none") : Joined(settings)) + ".";
    if (record.forgetsPassword)
        written += " The stored auto-logon password was removed (protected store and DefaultPassword).";
    return written;
}

// The mode a switch or undo went to, as its event names it.
std::string TargetName(settings::TPromptMode to, const switching::TSwitchRecord& record) {
    return record.once ? "Relaxed Mode for the next start-up" : ModeName(to);
}

std::string ModeSummary(TChangeKind kind, bool done, std::optional<settings::TPromptMode> from, const std::string& to) {
    if (kind == ckUndo)
        return done ? "Last switch undone: from " + FromMode(from) + " back to " + to + "."
                    : "Last switch not undone: password prompting stays in " + FromMode(from) + ".";
    return std::string(done ? "Password prompting switched" : "Password prompting not switched") + " from " +
           FromMode(from) + " to " + to + ".";
}

std::optional<settings::TPromptMode> CurrentMode(settings::TOptions& options) {
    try {
        return options.GetCurrentMode();
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::string PasswordPlace(engine::TPasswordStore store) {
    switch (store) {
    case engine::psNone:
        return "no password";
    case engine::psProtected:
        return "password in the protected store";
    case engine::psPlainValue:
        return "password in the plain registry value DefaultPassword";
    case engine::psPlainValueBehindProtected:
        break;
    }
    return "password in the plain registry value DefaultPassword, an older one left in the protected store";
}

}  // namespace

void Report(const TChange& change, Warnings& warnings) {
    try {
        os::WinApi& api = os::Api();
        EventSource source(api.RegisterEventSourceW(nullptr, kEventSource));
        if (!source) engine::RaiseOsError();
        const std::vector<os::WString> strings = EventStrings(change);
        std::vector<LPCWSTR> pointers;
        for (const os::WString& text : strings) pointers.push_back(text.c_str());
        const WORD type = change.error.empty() ? EVENTLOG_INFORMATION_TYPE : EVENTLOG_ERROR_TYPE;
        if (!api.ReportEventW(source.get(), type, 0, change.kind, nullptr, static_cast<WORD>(pointers.size()), 0,
                              pointers.data(), nullptr))
            engine::RaiseOsError();
    } catch (const std::exception& error) {
        warnings.push_back(std::string("The change could not be written to the event log: ") + error.what());
    }
}

std::string ModeName(settings::TPromptMode mode) {
    switch (mode) {
    case settings::pmSecure:
        return "Secure Mode";
    case settings::pmRelaxed:
        return "Relaxed Mode";
    case settings::pmCustom:
        break;
    }
    return "Custom Mode";
}

TChange ModeChanged(TChangeKind kind, TOrigin origin, std::optional<settings::TPromptMode> from,
                    settings::TPromptMode to, const switching::TSwitchRecord& record) {
    const std::string target = kind == ckSwitch ? TargetName(to, record) : ModeName(to);
    return {kind, origin, ModeSummary(kind, true, from, target), SettingsWritten(record), {}};
}

TChange ModeNotChanged(TChangeKind kind, TOrigin origin, std::optional<settings::TPromptMode> from,
                       settings::TPromptMode to, const switching::ESwitchFailed& failure) {
    const std::string left = failure.LeftChanged.empty() ? "none" : Joined(failure.LeftChanged);
    return {kind, origin, ModeSummary(kind, false, from, ModeName(to)), "Settings left changed: " + left + ".",
            failure.what()};
}

switching::TSwitchResult SwitchMode(settings::TOptions& options, settings::TPromptMode mode, engine::TChangeLock& lock,
                                   TOrigin origin, Warnings& warnings, bool once,
                                   const switching::TCoverageRequest& request) {
    switching::LockForSwitch(options, lock, request);
    const std::optional<settings::TPromptMode> from = CurrentMode(options);
    try {
        switching::TSwitchResult result = switching::SwitchMode(options, mode, lock, once, request);
        if (!result.changedNothing) Report(ModeChanged(ckSwitch, origin, from, mode, result.record), warnings);
        return result;
    } catch (const switching::ENothingToSwitch&) {
        throw;
    } catch (const switching::ESwitchFailed& failure) {
        Report(ModeNotChanged(ckSwitch, origin, from, mode, failure), warnings);
        throw;
    }
}

switching::TUndoOutcome UndoLastSwitch(settings::TOptions& options, bool force, engine::TChangeLock& lock,
                                       TOrigin origin, Warnings& warnings, const switching::TLastSwitch* named) {
    const std::optional<settings::TPromptMode> from = CurrentMode(options);
    try {
        switching::TUndoOutcome outcome = switching::UndoLastSwitch(options, force, lock, named);
        if (outcome.result == switching::TUndoResult::Done)
            Report(ModeChanged(ckUndo, origin, from, CurrentMode(options).value_or(settings::pmCustom),
                               outcome.last->before),
                   warnings);
        return outcome;
    } catch (const switching::ESwitchFailed& failure) {
        Report(ModeNotChanged(ckUndo, origin, from, settings::pmCustom, failure), warnings);
        throw;
    }
}

switching::TSwitchResult RemoveAutologonAccount(settings::TOptions& options, engine::TChangeLock& lock, TOrigin origin,
                                               Warnings& warnings) {
    try {
        switching::TSwitchResult result = switching::RemoveAutologonAccount(options, lock);
        if (!result.changedNothing)
            Report({ckSwitch, origin, "Auto-logon account removed and automatic logon turned off.",
                    SettingsWritten(result.record) +
                        " The account's name was removed (DefaultUserName, DefaultDomainName).",
                    {}},
                   warnings);
        return result;
    } catch (const switching::ESwitchFailed& failure) {
        const std::string left = failure.LeftChanged.empty() ? "none" : Joined(failure.LeftChanged);
        Report({ckSwitch, origin, "Auto-logon account not removed.", "Settings left changed: " + left + ".",
                failure.what()},
               warnings);
        throw;
    }
}

engine::TPasswordStore SetAutologonAccount(const os::WString& user, const os::WString& domain,
                                           const os::SecretString& password, TOrigin origin, Warnings& warnings,
                                           bool requireProtected) {
    const std::string account = EventAccountName(user, domain);
    TChange change{ckAccount, origin, {}, {}, {}};
    try {
        const engine::TPasswordStore store = engine::SetAutologonAccount(user, domain, password, requireProtected);
        change.summary = user.empty() ? "Auto-logon account cleared." : "Auto-logon account set to " + account + ".";
        change.details = user.empty() ? "Account: none." : "Account: " + account + ", " + PasswordPlace(store) + ".";
        Report(change, warnings);
        return store;
    } catch (const std::exception& error) {
        change.summary =
            user.empty() ? "Auto-logon account not cleared." : "Auto-logon account not set to " + account + ".";
        change.details = "Account: " + (user.empty() ? std::string("none") : account) + ".";
        change.error = error.what();
        Report(change, warnings);
        throw;
    }
}

diagnostics::FixOutcome ApplyFix(std::string_view id, TOrigin origin, Warnings& warnings) {
    const std::string name(id);
    try {
        diagnostics::FixOutcome outcome = diagnostics::ApplyFix(id);
        if (outcome.changed)
            Report({ckFix, origin, "Finding " + name + " fixed.",
                    "Changed: " + outcome.what + " To reverse it: " + outcome.reverse, {}},
                   warnings);
        return outcome;
    } catch (const diagnostics::EFixRefused&) {
        throw;
    } catch (const engine::EChangeInProgress&) {
        throw;
    } catch (const engine::Exception& error) {
        Report({ckFix, origin, "Finding " + name + " not fixed.", "Changed: nothing.", error.what()}, warnings);
        throw;
    }
}

TOptionsChange::TOptionsChange(settings::TOptions& options, TOrigin origin)
    : options_(options), origin_(origin), before_(settings::OptionValues(options)) {}

void TOptionsChange::Report(Warnings& warnings, const std::string& error) {
    std::vector<std::string> changed;
    const auto after = settings::OptionValues(options_);
    for (std::size_t i = 0; i < after.size() && i < before_.size(); ++i)
        if (after[i].second != before_[i].second)
            changed.push_back(after[i].first + " from " + (before_[i].second ? "True" : "False") + " to " +
                              (after[i].second ? "True" : "False"));
    std::string failure = error;
    if (failure.empty() && !options_.NotStored().empty())
        failure = "Not stored in the registry (HKEY_CURRENT_USER\\" + os::ToUtf8(options_.KeyPath()) +
                  "): " + Joined(options_.NotStored()) + ".";
    if (changed.empty() && failure.empty()) return;
    audit::Report({ckOptions, origin_, failure.empty() ? "Options changed." : "Options changed, not all saved.",
                   "Options: " + (changed.empty() ? std::string("none") : Joined(changed)) + ".", failure},
                  warnings);
}

}  // namespace audit
