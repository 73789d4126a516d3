#pragma once
// The commands themselves, each run once against the options stored under
// one key. A command ends with an exit code, or raises CommandFailure (or an
// engine error, which the caller reports with exit code 1).

#include "cli/Console.h"
#include "engine/ConsoleUser.h"
#include "settings/Options.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace cli {

// An argument of the command line and its position (1 for the first after
// the program's name), by which messages name it instead of repeating it.
struct CommandArgument {
    std::string text;
    std::size_t position;
};

// The commands. With `json`, each writes one JSON object (cli/JsonOutput.h)
// instead of text; warnings go to standard error either way, and into the
// object's "warnings". Each change a command makes is written to the event
// log; a failure to write it does not fail the command but is a warning. Run
// as LocalSystem, the commands work on the per-user settings of the user
// signed in at the console (engine/ConsoleUser.h).
class Session {
public:
    Session(Console& console, const os::WString& optionsKey, bool json);

    int Status();
    // `verify`: secure mode only; the password comes from standard input.
    int Switch(settings::TPromptMode mode, bool verify);
    // `user` may be "DOMAIN\name", or a user principal name "name@domain",
    // which is stored whole with no domain. Otherwise `domain`, and when that
    // is empty the current account's domain.
    int SetAccount(const std::string& user, const std::string& domain, bool verify);
    int ClearAccount();
    // NAME=True|False assignments of the four options that the options dialog
    // edits, and VerifyPassword=True; none shows all five. Only the options
    // named are saved, and each is read back: one that did not persist ends
    // the command with exit code 1.
    int Options(const std::vector<CommandArgument>& assignments);
    // `target`: the mode whose switch the problems concern; pmCustom for both.
    int Diagnose(settings::TPromptMode target);
    // Exit code kSelfTestFailed when any check failed; skipped ones do not count.
    int SelfTest();
    // Undoes the last switch; `force` also when the settings changed since.
    int Undo(bool force);

private:
    void RequireAdministrator(const char* what);
    void VerifyCurrentPassword();
    void ShowOptions();
    void SaveOptions(const std::vector<std::string>& names);
    // A warning: on standard error now, and in the JSON object's "warnings".
    void Warn(const std::string& message);
    // Whose per-user settings the command shows or changes: "settingsOf" in
    // JSON, and a line of text when that is not the caller's own.
    std::string SettingsOwnerLine() const;
    std::optional<std::string> SettingsOwner() const;
    class AuditWarnings;

    Console& console_;
    bool json_;
    std::vector<std::string> warnings_;
    bool localSystem_;
    engine::PerUserTargetScope target_;
    settings::OptionsPtr<settings::TOptions> options_;
};

}  // namespace cli
