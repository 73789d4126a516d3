#include "cli/Commands.h"

#include "cli/Session.h"
#include "GatewiseVersion.h"
#include "cli/UsageErrors.h"

#include <functional>

namespace cli {
namespace {

// What the command line asked for, filled in by the parser.
struct Request {
    bool json = false;
    bool force = false;
    bool verify = false;
    bool noVerify = false;
    std::string user;
    std::string domain;
    std::vector<std::string> assignments;
    std::function<int(Session&)> command;
};

void AddJsonFlag(CLI::App& command, Request& request) {
    command.add_flag("--json", request.json, "Writes one JSON object instead of text.");
}

// The NAME=VALUE arguments of `options` with their positions.
std::vector<CommandArgument> Assignments(const std::vector<std::string>& arguments, const Request& request) {
    const std::size_t command = ArgumentPositions(arguments, {"options"})[0];
    const std::vector<std::size_t> positions = ArgumentPositions(arguments, request.assignments, command);
    std::vector<CommandArgument> assignments;
    for (std::size_t i = 0; i < positions.size(); ++i) assignments.push_back({request.assignments[i], positions[i]});
    return assignments;
}

void DefineCommands(CLI::App& app, Request& request, const std::vector<std::string>& arguments) {
    app.require_subcommand(1);

    CLI::App* status = app.add_subcommand(
        "status", "Shows the mode, the three settings, the auto-logon account, the options and whether the "
                  "program runs with administrator rights.");
    AddJsonFlag(*status, request);
    status->callback([&] { request.command = [&](Session& s) { return s.Status(request.json); }; });

    CLI::App* secure = app.add_subcommand("secure", "Switches to secure mode: Windows asks for the password.");
    secure->add_flag("--verify", request.verify,
                     "Reads your Windows password from standard input and verifies it first.");
    secure->callback(
        [&] { request.command = [&](Session& s) { return s.Switch(settings::pmSecure, request.verify); }; });

    CLI::App* relaxed = app.add_subcommand(
        "relaxed", "Switches to relaxed mode: automatic logon, no password on resume or after the screen saver.");
    relaxed->callback([&] { request.command = [](Session& s) { return s.Switch(settings::pmRelaxed, false); }; });

    CLI::App* account = app.add_subcommand("account", "Sets or clears the auto-logon account.");
    account->require_subcommand(1);
    CLI::App* set = account->add_subcommand(
        "set", "Sets the auto-logon account. The password is read from standard input (one line), or typed "
               "without echo on a console; never from the command line.");
    set->add_option("--user", request.user, "The account's user name.")->required();
    set->add_option("--domain", request.domain, "Its domain; the current account's domain when left out.");
    set->add_flag("--no-verify", request.noVerify, "Stores the password without asking Windows whether it is valid.");
    set->callback([&] {
        request.command = [&](Session& s) { return s.SetAccount(request.user, request.domain, !request.noVerify); };
    });
    CLI::App* clear = account->add_subcommand("clear", "Removes the auto-logon account and its password.");
    clear->callback([&] { request.command = [](Session& s) { return s.ClearAccount(); }; });

    CLI::App* options = app.add_subcommand(
        "options", "Shows the options, or sets AutochangeStartup, AutochangeStandby, AutochangeScreenSaver and "
                   "ModifyAllPowerProfiles.");
    options->add_option("NAME=VALUE", request.assignments, "An option and its new value, True or False.");
    options->callback([&] {
        request.command = [&](Session& s) { return s.Options(Assignments(arguments, request)); };
    });

    CLI::App* diagnose =
        app.add_subcommand("diagnose", "Checks why a mode may not take effect. Exit code 6 when a problem is found.");
    AddJsonFlag(*diagnose, request);
    diagnose->callback([&] { request.command = [&](Session& s) { return s.Diagnose(request.json); }; });

    CLI::App* undo = app.add_subcommand(
        "undo", "Undoes the last switch: puts back the three settings exactly as they were before it. Exit code 9 "
                "when there is none, 10 when the settings changed since.");
    undo->add_flag("--force", request.force, "Undoes the switch also when the settings changed since.");
    AddJsonFlag(*undo, request);
    undo->callback([&] { request.command = [&](Session& s) { return s.Undo(request.force, request.json); }; });
}

const char kFooter[] =
    "\nExit codes: 0 done, 1 system or registry error, 2 bad usage, 3 needs administrator rights,\n"
    "4 no auto-logon account for relaxed mode, 5 password rejected, 6 diagnose found a problem,\n"
    "9 no switch to undo, 10 the settings changed since the switch (undo without --force).\n";

int RunCommand(const std::vector<std::string>& arguments, const os::WString& optionsKey, Console& console) {
    CLI::App app("Switches how Windows asks for the account password: at start-up, on resume and after the "
                 "screen saver.",
                 "gatewisecmd");
    app.footer(kFooter);
    app.set_version_flag("--version", "gatewisecmd " GATEWISE_VERSION_TEXT, "Print the version and exit");
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
    } catch (const CLI::CallForVersion& version) {
        console.out << version.what() << '\n';
        return kDone;
    } catch (const CLI::ParseError& error) {
        const UsageError usage = DescribeUsageError(app, error, arguments);
        console.err << usage.message << "\n\n" << usage.usage;
        return kBadUsage;
    }

    try {
        Session session(console, optionsKey);
        return request.command(session);
    } catch (const CommandFailure& failure) {
        console.err << failure.what() << '\n';
        return failure.Code;
    } catch (const std::exception& error) {
        console.err << error.what() << '\n';
        return kSystemError;
    }
}

}  // namespace

int RunCommandLine(const std::vector<std::string>& arguments, const os::WString& optionsKey, Console& console) {
    const int code = RunCommand(arguments, optionsKey, console);
    // A result that does not reach its reader is no success (a full disk, a closed handle).
    if (!console.out.flush()) {
        console.err << "The result could not be written to standard output.\n";
        return kSystemError;
    }
    return code;
}

}  // namespace cli
