#pragma once
// The audit trail: one Application event, source "Gatewise", for every
// switch, undo, auto-logon account change, options change and fix of a
// finding, made in the window or on the command line. An event says what was done, by whom, with
// which program, what it touched and how it ended; never a password.
//
// Logging never stops or fails the change it reports: a failure to log comes
// back as a warning, which the caller may show.

#include "diagnostics/Fixes.h"
#include "engine/Utilities.h"
#include "settings/Options.h"
#include "switching/Switch.h"
#include "switching/SwitchRecord.h"
#include "switching/Undo.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace audit {

// The event identifiers, as the message table of gatewise.exe numbers them
// (resources/events.mc).
enum TChangeKind : std::uint8_t { ckSwitch = 1, ckUndo = 2, ckAccount = 3, ckOptions = 4, ckFix = 5 };

// The program that made the change.
enum TOrigin : std::uint8_t { orWindow, orCommandLine };

struct TChange {
    TChangeKind kind = ckSwitch;
    TOrigin origin = orWindow;
    std::string summary;  // one sentence: what happened
    std::string details;  // what it touched
    std::string error;    // empty when it went through
};

// The source name, which the installer registers with gatewise.exe as its
// message file.
inline constexpr const WCHAR* kEventSource = WSTR("Gatewise");

// Reasons why events could not be written, for the caller to show.
using Warnings = std::vector<std::string>;

// Writes `change` as one event: an information event, or an error event when
// it failed, whose inserted texts are the summary, "User: ...", "Program:
// ...", the details and "Result: ...". Never raises; a failure is added to
// `warnings`.
void Report(const TChange& change, Warnings& warnings);

// "Secure Mode", "Relaxed Mode", "Custom Mode".
std::string ModeName(settings::TPromptMode mode);

// A switch, or an undo, from `from` (nullopt: it could not be read) to `to`
// that went through, having written the settings `record` covers.
TChange ModeChanged(TChangeKind kind, TOrigin origin, std::optional<settings::TPromptMode> from,
                    settings::TPromptMode to, const switching::TSwitchRecord& record);
// One that did not: why, and what it left changed (an undo that did not
// happen names no `to`).
TChange ModeNotChanged(TChangeKind kind, TOrigin origin, std::optional<settings::TPromptMode> from,
                       settings::TPromptMode to, const switching::ESwitchFailed& failure);

// switching::SwitchMode, reported when it changed the settings or failed to;
// a switch that changed nothing, or had nothing to switch, is not reported.
// Its own failure passes through unchanged.
switching::TSwitchResult SwitchMode(settings::TOptions& options, settings::TPromptMode mode, engine::TChangeLock& lock,
                                   TOrigin origin, Warnings& warnings, bool once = false,
                                   const switching::TCoverageRequest& request = {});

// switching::UndoLastSwitch, reported when it changed the settings or failed
// to; a refusal changes nothing and is not reported. Its failure passes
// through unchanged.
switching::TUndoOutcome UndoLastSwitch(settings::TOptions& options, bool force, engine::TChangeLock& lock,
                                       TOrigin origin, Warnings& warnings,
                                       const switching::TLastSwitch* named = nullptr);

// switching::RemoveAutologonAccount, reported when it changed anything or
// failed to. Its failure passes through unchanged.
switching::TSwitchResult RemoveAutologonAccount(settings::TOptions& options, engine::TChangeLock& lock, TOrigin origin,
                                               Warnings& warnings);

// engine::SetAutologonAccount (an empty user clears the account), reported
// with the account and where its password went. Its failure passes through.
engine::TPasswordStore SetAutologonAccount(const os::WString& user, const os::WString& domain,
                                           const os::SecretString& password, TOrigin origin, Warnings& warnings,
                                           bool requireProtected = false);

// diagnostics::ApplyFix, reported when it changed the setting, with how to
// reverse it, or failed to; a refusal (EFixRefused), another change in
// progress or a setting that needed no fix is not reported. Its failure
// passes through unchanged.
diagnostics::FixOutcome ApplyFix(std::string_view id, TOrigin origin, Warnings& warnings);

// The options as they were before a change; Report compares them with the
// options as they are now and writes an event when any differs, or when
// `error` (or the last Save's values that could not be stored) says that the
// change did not persist.
class TOptionsChange {
public:
    TOptionsChange(settings::TOptions& options, TOrigin origin);
    void Report(Warnings& warnings, const std::string& error = {});

private:
    settings::TOptions& options_;
    TOrigin origin_;
    std::vector<std::pair<std::string, bool>> before_;
};

}  // namespace audit
