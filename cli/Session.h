#pragma once
// What every command of gatewisecmd runs in: the console, whether it answers
// in JSON, its warnings, and the options stored under one key. The commands
// themselves are grouped by family (StatusCommand, SwitchCommands,
// AccountCommands, OptionsCommand, CheckCommands). A command ends with an
// exit code, or raises CommandFailure (or an engine error, which the caller
// reports with exit code 1).
//
// With JSON, each command writes one JSON object (cli/JsonOutput.h) instead of
// text; warnings go to standard error either way, and into the object's
// "warnings". Each change a command makes is written to the event log; a
// failure to write it does not fail the command but is a warning. Run as
// LocalSystem, the commands work on the per-user settings of the user signed
// in at the console (engine/ConsoleUser.h).

#include "audit/Audit.h"
#include "cli/Console.h"
#include "engine/ConsoleUser.h"
#include "settings/Options.h"

#include <cstddef>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace cli {

inline constexpr char kNoUserLeft[] = "No user is signed in at the console";
// Said by every command whose password check Windows refused for a locked-out account.
inline constexpr char kAccountLockedOutText[] =
    "This account is locked out after too many wrong passwords; try again later.";

// An argument of the command line and its position (1 for the first after
// the program's name), by which messages name it instead of repeating it.
struct CommandArgument {
    std::string text;
    std::size_t position;
};

class Session {
public:
    Session(Console& console, const os::WString& optionsKey, bool json);
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    std::ostream& Out() { return console_.out; }
    std::ostream& Err() { return console_.err; }
    PasswordInput& In() { return console_.in; }
    bool WantsJson() const { return json_; }
    bool LocalSystem() const { return localSystem_; }
    settings::TOptions& ProgramOptions() { return *options_; }

    // A warning: in the JSON object's "warnings" with --json, else on standard error now.
    void Warn(const std::string& message);
    // A warning for the JSON object alone (the text says it another way).
    void AddWarning(const std::string& message) { warnings_.push_back(message); }
    const std::vector<std::string>& Warnings() const { return warnings_; }

    // Whose per-user settings the command shows or changes: "settingsOf" in
    // JSON, and a line of text when that is not the caller's own.
    std::optional<std::string> SettingsOwner() const;
    std::string SettingsOwnerLine() const;

    // The audit trail's warnings about one change's event, which become the
    // command's warnings once the change is over, whether it went through or not.
    class AuditWarnings {
    public:
        explicit AuditWarnings(Session& session) : session_(session) {}
        ~AuditWarnings();
        AuditWarnings(const AuditWarnings&) = delete;
        AuditWarnings& operator=(const AuditWarnings&) = delete;

        audit::Warnings list;

    private:
        Session& session_;
    };

private:
    Console& console_;
    bool json_;
    std::vector<std::string> warnings_;
    bool localSystem_;
    engine::PerUserTargetScope target_;
    settings::OptionsPtr<settings::TOptions> options_;
};

// Where the per-user settings are, as messages name it.
std::string UserRootName();

}  // namespace cli
