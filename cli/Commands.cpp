#include "cli/Commands.h"

#include "cli/AccountCommands.h"
#include "cli/CheckCommands.h"
#include "cli/JsonOutput.h"
#include "cli/OptionsCommand.h"
#include "cli/Session.h"
#include "cli/StatusCommand.h"
#include "cli/SwitchCommands.h"
#include "GatewiseVersion.h"
#include "cli/UsageErrors.h"
#include "diagnostics/Fixes.h"
#include "engine/ChangeLock.h"
#include "engine/ConsoleUser.h"

#include <algorithm>
#include <functional>

namespace cli {
namespace {

// What the command line asked for, filled in by the parser.
struct Request {
    bool json = false;
    bool force = false;
    bool verify = false;
    bool noVerify = false;
    bool version = false;
    bool verifyStored = false;
    bool once = false;
    bool requireProtected = false;
    std::string fix;
    std::string user;
    std::string domain;
    std::string forMode;
    std::string expect;
    // Failures go to standard output with exit code 1, as a compliance check's do.
    bool quiet = false;
    std::vector<std::string> assignments;
    std::vector<std::string> only;
    std::function<int(Session&)> command;
};

void AddOnlyOption(CLI::App& command, Request& request) {
    command
        .add_option("--only", request.only,
                    "Switches only these settings, whatever the options say: startup, resume and screensaver, "
                    "separated by commas.")
        ->delimiter(',')
        ->allow_extra_args(false)
        ->type_name("SETTINGS");
}

void AddJsonFlag(CLI::App& command, Request& request) {
    command.add_flag("--json", request.json, "Writes one JSON object instead of text, also when the command fails.");
}

// The NAME=VALUE arguments of `options` with their positions.
std::vector<CommandArgument> Assignments(const std::vector<std::string>& arguments, const Request& request) {
    const std::size_t command = ArgumentPositions(arguments, {"options"})[0];
    const std::vector<std::size_t> positions = ArgumentPositions(arguments, request.assignments, command);
    std::vector<CommandArgument> assignments;
    for (std::size_t i = 0; i < positions.size(); ++i) assignments.push_back({request.assignments[i], positions[i]});
    return assignments;
}

// Refuses a value given apart from its option that starts with "-": an
// option typed where the value was due ("--user --no-verify"). Given with
// "=" ("--user=-name"), such a value is meant.
void RequireValuesApart(const std::vector<std::string>& arguments, std::initializer_list<const char*> options) {
    for (std::size_t i = 0; i + 1 < arguments.size(); ++i)
        for (const char* option : options)
            if (arguments[i] == option && arguments[i + 1].starts_with('-'))
                throw CommandFailure(kBadUsage, std::string("The option ") + option + " is followed by argument " +
                                                    std::to_string(i + 2) + ", which starts with \"-\": write " +
                                                    option + "=VALUE for a value that does. Nothing was changed.");
}

settings::TPromptMode TargetMode(const std::string& name) {
    if (name == "secure") return settings::pmSecure;
    if (name == "relaxed") return settings::pmRelaxed;
    return settings::pmCustom;
}

void DefineCommands(CLI::App& app, Request& request, const std::vector<std::string>& arguments) {
    app.require_subcommand(1);

    CLI::App* status = app.add_subcommand(
        "status", "Shows the mode, the three settings, the auto-logon account, the options and whether the "
                  "program runs with administrator rights.");
    AddJsonFlag(*status, request);
    status->callback([&] { request.command = [](Session& s) { return Status(s); }; });

    CLI::App* secure = app.add_subcommand("secure", "Switches to Secure Mode: Windows asks for the password.");
    secure->add_flag("--verify", request.verify,
                     "Reads your Windows password from standard input and verifies it first.");
    AddOnlyOption(*secure, request);
    AddJsonFlag(*secure, request);
    secure->callback([&] {
        request.command = [&](Session& s) {
            return Switch(s, settings::pmSecure, {request.verify, false, OnlySettings(request.only)});
        };
    });

    CLI::App* relaxed = app.add_subcommand(
        "relaxed", "Switches to Relaxed Mode: automatic logon, no password on resume or after the screen saver.");
    relaxed->add_flag("--once", request.once,
                      "Logs on automatically at the next start only (AutoLogonCount 1); Windows then asks again.");
    AddOnlyOption(*relaxed, request);
    AddJsonFlag(*relaxed, request);
    relaxed->callback([&] {
        request.command = [&](Session& s) {
            return Switch(s, settings::pmRelaxed, {false, request.once, OnlySettings(request.only)});
        };
    });

    CLI::App* account = app.add_subcommand("account", "Sets or clears the auto-logon account.");
    account->require_subcommand(1);
    CLI::App* set = account->add_subcommand(
        "set", "Sets the auto-logon account. The password is read from standard input (one line), or typed "
               "without echo on a console; never from the command line.");
    set->add_option("--user", request.user,
                    "The account's user name: NAME, DOMAIN\\NAME, or NAME@DOMAIN (stored whole, with no domain).")
        ->required();
    set->add_option("--domain", request.domain, "Its domain; the current account's domain when left out.");
    set->add_flag("--no-verify", request.noVerify, "Stores the password without asking Windows whether it is valid.");
    set->add_flag("--require-protected", request.requireProtected,
                  "Stores nothing (exit code 1) when Windows refuses the password into its protected store, instead "
                  "of keeping it in the plain registry value DefaultPassword.");
    AddJsonFlag(*set, request);
    set->callback([&] {
        request.command = [&](Session& s) {
            RequireValuesApart(arguments, {"--user", "--domain"});
            return SetAccount(s, request.user, request.domain, !request.noVerify, request.requireProtected);
        };
    });
    CLI::App* clear = account->add_subcommand("clear", "Removes the auto-logon account and its password.");
    AddJsonFlag(*clear, request);
    clear->callback([&] { request.command = [](Session& s) { return ClearAccount(s); }; });

    CLI::App* options = app.add_subcommand(
        "options", "Shows the options, or sets AutochangeStartup, AutochangeStandby, AutochangeScreenSaver, "
                   "ModifyAllPowerProfiles and ForgetPasswordInSecureMode, and turns VerifyPassword back on.");
    options->add_option("NAME=VALUE", request.assignments, "An option and its new value, True or False.");
    AddJsonFlag(*options, request);
    options->callback([&] {
        request.command = [&](Session& s) { return Options(s, Assignments(arguments, request)); };
    });

    CLI::App* diagnose =
        app.add_subcommand("diagnose", "Checks why a mode may not take effect. Exit code 6 when a problem is found. "
                                   "--fix and --verify-stored do one thing each, on request.");
    diagnose->add_option("--for", request.forMode, "Reports as problems only what stops a switch to that mode.")
        ->check(CLI::IsMember({"secure", "relaxed"}))
        ->type_name("MODE");
    diagnose->add_option("--fix", request.fix,
                         "Applies Gatewise's fix of that finding (administrator): password-less-sign-in sets "
                         "DevicePasswordLessBuildVersion to 0, autologon-count deletes AutoLogonCount.")
        ->check(CLI::IsMember(diagnostics::FixIds()))
        ->type_name("CHECK");
    diagnose->add_flag("--verify-stored", request.verifyStored,
                       "Tries the stored auto-logon password once and says whether Windows still accepts it "
                       "(administrator). A wrong password counts toward the account's lockout.");
    AddJsonFlag(*diagnose, request);
    diagnose->callback([&] {
        if (!request.fix.empty() + request.verifyStored + !request.forMode.empty() > 1)
            request.command = [](Session&) -> int {
                throw CommandFailure(kBadUsage, "gatewisecmd diagnose takes only one of --for, --fix and "
                                                "--verify-stored.");
            };
        else if (!request.fix.empty()) request.command = [&](Session& s) { return FixFinding(s, request.fix); };
        else if (request.verifyStored) request.command = [](Session& s) { return VerifyStoredPassword(s); };
        else request.command = [&](Session& s) { return Diagnose(s, TargetMode(request.forMode)); };
    });

    CLI::App* check = app.add_subcommand(
        "check", "For management tools: exit code 0 when the PC is in the expected mode, 1 when it is not or its "
                 "state cannot be read. The last line says which and what differs; nothing goes to standard error.");
    check->add_option("--expect", request.expect, "The mode the PC should be in.")
        ->required()
        ->check(CLI::IsMember({"secure", "relaxed"}))
        ->type_name("MODE");
    AddJsonFlag(*check, request);
    check->callback([&] {
        request.quiet = true;
        request.command = [&](Session& s) { return CheckMode(s, TargetMode(request.expect)); };
    });

    CLI::App* selftest = app.add_subcommand(
        "selftest", "Tries each Windows function that Gatewise uses, changing nothing of yours. Exit code 8 when one "
                    "fails; without administrator rights the steps that need them are skipped.");
    AddJsonFlag(*selftest, request);
    selftest->callback([&] { request.command = [](Session& s) { return SelfTest(s); }; });
    CLI::App* undo = app.add_subcommand(
        "undo", "Undoes the last switch: puts back the three settings exactly as they were before it. Exit code 9 "
                "when there is none, 10 when the settings changed since.");
    undo->add_flag("--force", request.force, "Undoes the switch also when the settings changed since.");
    AddJsonFlag(*undo, request);
    undo->callback([&] { request.command = [&](Session& s) { return Undo(s, request.force); }; });

    CLI::App* version = app.add_subcommand("version", "Shows the program's name and version.");
    AddJsonFlag(*version, request);
    version->callback([&] { request.version = true; });
}

const char kFooter[] =
    "\nExit codes: 0 done, 1 system or registry error, 2 bad usage, 3 needs administrator rights,\n"
    "4 no auto-logon account for Relaxed Mode (diagnose --verify-stored: no stored password),\n"
    "5 password rejected (diagnose --verify-stored: Windows no longer accepts it), 6 diagnose found a problem,\n"
    "7 run as SYSTEM with no user signed in at the console: the per-user settings were left,\n"
    "8 selftest: a check failed, 9 no switch to undo,\n"
    "10 the settings changed since the switch (undo without --force),\n"
    "11 the computer is locked: the session's screen saver setting cannot change; nothing was changed,\n"
    "12 another change went on for 10 seconds: nothing was changed,\n"
    "13 your organization's policy forbids it: nothing was changed.\n"
    "check --expect: 0 the PC is in that mode, 1 it is not or its state cannot be read.\n";

std::string VersionText() { return "gatewisecmd " GATEWISE_VERSION_TEXT; }

int ShowVersion(Console& console, bool json) {
    if (json)
        WriteJson(console.out, Json{{"name", "gatewisecmd"}, {"version", GATEWISE_VERSION_TEXT}});
    else
        console.out << VersionText() << '\n';
    return kDone;
}

// "/?" asks for help, as it does of Windows' own commands.
std::vector<std::string> WithHelpSwitches(std::vector<std::string> arguments) {
    std::replace(arguments.begin(), arguments.end(), std::string("/?"), std::string("--help"));
    return arguments;
}

// The message on standard error, and with --json the failure object on
// standard output as well, so that a script reads one object either way. A
// usage error's hint goes to standard error, after the message.
int Fail(Console& console, bool json, const std::string& message, int code, const std::string& hint = {}) {
    console.err << message << '\n' << (hint.empty() ? "" : hint + "\n");
    if (json) WriteJson(console.out, FailureJson(message, code));
    return code;
}

// The exit code of a command that raised `error`.
int FailureCode(const std::exception& error) {
    if (const auto* failure = dynamic_cast<const CommandFailure*>(&error)) return failure->Code;
    if (dynamic_cast<const engine::EChangeInProgress*>(&error)) return kChangeInProgress;
    if (dynamic_cast<const settings::EForbiddenByPolicy*>(&error)) return kForbiddenByPolicy;
    return kSystemError;
}

// A failure of a command that writes nothing to standard error: its message
// is the last line of standard output, and the code kSystemError.
int FailQuietly(Console& console, bool json, const std::string& message) {
    if (json)
        WriteJson(console.out, FailureJson(message, kSystemError));
    else
        console.out << message << '\n';
    return kSystemError;
}

int RunCommand(const std::vector<std::string>& typed, const os::WString& optionsKey, Console& console) {
    const std::vector<std::string> arguments = WithHelpSwitches(typed);
    CLI::App app("Switches how Windows asks for the account password: at start-up, on resume and after the "
                 "screen saver.",
                 "gatewisecmd");
    app.footer(kFooter);
    app.set_version_flag("--version", std::string(), "Shows the program's name and version.");
    Request request;
    DefineCommands(app, request, arguments);

    try {
        Parse(app, arguments);
    } catch (const CLI::CallForHelp&) {
        console.out << app.help();
        return kDone;
    } catch (const CLI::CallForAllHelp&) {
        console.out << app.help("", CLI::AppFormatMode::All);
        return kDone;
    } catch (const CLI::CallForVersion&) {
        return ShowVersion(console, false);
    } catch (const CLI::ParseError& error) {
        // The parse stopped before it could set the flag: what was typed tells.
        const bool json = std::find(arguments.begin(), arguments.end(), "--json") != arguments.end();
        const UsageError usage = DescribeUsageError(app, error, arguments);
        return Fail(console, json, usage.message, kBadUsage, usage.hint);
    }
    if (request.version) return ShowVersion(console, request.json);

    try {
        Session session(console, optionsKey, request.json);
        return request.command(session);
    } catch (const std::exception& error) {
        if (request.quiet) return FailQuietly(console, request.json, error.what());
        return Fail(console, request.json, error.what(), FailureCode(error));
    }
}

}  // namespace

int RunCommandLine(const std::vector<std::string>& arguments, const os::WString& optionsKey, Console& console) {
    // The part that a run as SYSTEM starts in the console user's session, and
    // only that: anyone else would skip the event log and the record of the switch.
    if (!arguments.empty() && arguments[0] == engine::kSessionScreenSaverSwitch) {
        if (arguments.size() == 3 && engine::VouchedForBySystemRun(arguments[2]))
            return static_cast<int>(engine::RunSessionScreenSaverPart(arguments[1]));
        console.err << "gatewisecmd starts " << engine::kSessionScreenSaverSwitch
                    << " itself when it runs as SYSTEM; it is not a command.\n";
        return kBadUsage;
    }
    const int code = RunCommand(arguments, optionsKey, console);
    // A result that does not reach its reader is no success (a full disk, a closed handle).
    if (!console.out.flush()) {
        console.err << "The result could not be written to standard output.\n";
        return kSystemError;
    }
    return code;
}

}  // namespace cli
