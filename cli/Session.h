#pragma once
// The commands themselves, each run once against the options stored under
// one key. A command ends with an exit code, or raises CommandFailure (or an
// engine error, which the caller reports with exit code 1).

#include "cli/Console.h"
#include "settings/Options.h"

#include <cstddef>
#include <string>
#include <vector>

namespace cli {

// An argument of the command line and its position (1 for the first after
// the program's name), by which messages name it instead of repeating it.
struct CommandArgument {
    std::string text;
    std::size_t position;
};

class Session {
public:
    Session(Console& console, const os::WString& optionsKey);

    int Status(bool json);
    // `verify`: secure mode only; the password comes from standard input.
    int Switch(settings::TPromptMode mode, bool verify);
    // `domain` empty: the current account's domain.
    int SetAccount(const std::string& user, const std::string& domain, bool verify);
    int ClearAccount();
    // NAME=True|False assignments of the four options that the options dialog
    // edits; none shows all five. Only the options named are saved, and each is
    // read back: one that did not persist ends the command with exit code 1.
    int Options(const std::vector<CommandArgument>& assignments);
    int Diagnose(bool json);
    // Undoes the last switch; `force` also when the settings changed since.
    int Undo(bool force, bool json);

private:
    void RequireAdministrator(const char* what);
    void VerifyCurrentPassword();
    void ShowOptions();
    void SaveOptions(const std::vector<std::string>& names);

    Console& console_;
    settings::OptionsPtr<settings::TOptions> options_;
};

}  // namespace cli
