#pragma once
// What a command of the console companion talks to: its two output streams
// (UTF-8 text) and standard input, from which it reads a password. The
// Windows program connects them to the console or to pipes; tests to strings.

#include "os/Text.h"

#include <cstddef>
#include <ostream>
#include <stdexcept>
#include <string>

namespace cli {

// The exit codes of gatewisecmd.
enum ExitCode : int {
    kDone = 0,
    kSystemError = 1,         // an operating-system or registry error; its message on standard error
    kBadUsage = 2,            // bad arguments or input; the usage on standard error
    kNeedsAdministrator = 3,  // nothing was changed
    kNoAutologonAccount = 4,  // relaxed mode refused: no auto-logon account with a password
    kPasswordRejected = 5,    // nothing was changed
    kProblemFound = 6,        // diagnose found at least one problem
    kNoConsoleUser = 7,       // run as LocalSystem with nobody signed in at the console: per-user settings left
    kSelfTestFailed = 8,      // selftest: at least one check failed
    kNothingToUndo = 9,       // undo found no record of a switch
    kChangedSinceSwitch = 10, // undo refused: the settings changed since the switch; nothing was changed
    kSessionLocked = 11,      // the session's screen saver setting refused while locked; nothing was changed
    kChangeInProgress = 12,   // another change went on for 10 seconds; nothing was changed
    kForbiddenByPolicy = 13,  // the administrator's policy forbids it; nothing was changed
};
// check --expect gives kSystemError its own meaning: not in that mode, or it cannot be told.
inline constexpr int kNotInExpectedMode = kSystemError;

// Standard input.
class PasswordInput {
public:
    virtual ~PasswordInput() = default;
    // True when standard input is an interactive console, where a password is
    // typed without echo.
    virtual bool IsConsole() = 0;
    // Reads at most `size` bytes; 0 at the end of the input.
    virtual std::size_t Read(char* buffer, std::size_t size) = 0;
    // On a console: shows `prompt` and reads one line without echo.
    virtual os::SecretString ReadHidden(const char* prompt) = 0;
};

struct Console {
    std::ostream& out;
    std::ostream& err;
    PasswordInput& in;
};

// Ends a command with its exit code and a message for standard error. The
// message never holds a password.
class CommandFailure : public std::runtime_error {
public:
    CommandFailure(ExitCode code, const std::string& message) : std::runtime_error(message), Code(code) {}
    ExitCode Code;
};

}  // namespace cli
