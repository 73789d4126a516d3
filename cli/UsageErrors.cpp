#include "cli/UsageErrors.h"

#include <algorithm>
#include <optional>

namespace cli {
namespace {

std::string Argument(std::size_t position) { return "Argument " + std::to_string(position); }

// "gatewisecmd account set".
std::string CommandPath(const CLI::App& command) {
    std::string path = command.get_name();
    for (const CLI::App* parent = command.get_parent(); parent; parent = parent->get_parent())
        path = parent->get_name() + ' ' + path;
    return path;
}

// The commands that the parse recognised, from the program down.
std::vector<const CLI::App*> RecognisedCommands(const CLI::App& app) {
    std::vector<const CLI::App*> chain{&app};
    while (!chain.back()->get_subcommands().empty()) chain.push_back(chain.back()->get_subcommands().front());
    return chain;
}

std::vector<const CLI::App*> DefinedCommands(const CLI::App& command) {
    return command.get_subcommands([](const CLI::App*) { return true; });
}

// Where the help of `command` is: "Run gatewisecmd account set --help to see its options."
std::string HelpHint(const CLI::App& command) {
    const char* what = DefinedCommands(command).empty() ? "options" : "commands";
    return "Run " + CommandPath(command) + " --help to see its " + what + ".";
}

// "set, clear".
std::string CommandNames(const CLI::App& command) {
    std::string names;
    for (const CLI::App* defined : DefinedCommands(command)) names += (names.empty() ? "" : ", ") + defined->get_name();
    return names;
}

// "--user" of "--user=alice".
std::string OptionName(const std::string& text) { return text.substr(0, text.find('=')); }

bool LooksLikeOption(const std::string& text) { return text.size() > 1 && text[0] == '-'; }

// The option of a recognised command that `text` names, if any.
const CLI::Option* FindOption(const CLI::App& app, const std::string& text) {
    if (!LooksLikeOption(text)) return nullptr;
    const std::string name = OptionName(text);
    for (const CLI::App* command : RecognisedCommands(app))
        for (const CLI::Option* option : command->get_options())
            if (!option->get_positional() && option->check_name(name)) return option;
    return nullptr;
}

bool TakesValue(const CLI::Option& option) { return option.get_expected_min() > 0; }

// "secure or relaxed" for an option whose values are limited to those; empty
// for any other.
std::string Choices(const CLI::Option& option) {
    const std::string type = option.get_type_name();
    const auto open = type.find(":{");
    if (open == std::string::npos || type.back() != '}') return {};
    std::string choices = type.substr(open + 2, type.size() - open - 3);
    const auto last = choices.rfind(',');
    if (last != std::string::npos) choices.replace(last, 1, " or ");
    for (auto comma = choices.find(','); comma != std::string::npos; comma = choices.find(',', comma + 2))
        choices.replace(comma, 1, ", ");
    return choices;
}

// ---------------------------------------------------------------- arguments not expected

struct Unexpected {
    std::string text;
    const CLI::App* command;  // the command that did not expect it
    std::size_t position = 0;
};

void CollectUnexpected(const CLI::App& command, std::vector<Unexpected>& found) {
    for (std::string& text : command.remaining(false)) found.push_back({std::move(text), &command});
    for (const CLI::App* subcommand : command.get_subcommands()) CollectUnexpected(*subcommand, found);
}

// The first argument, by position, that no command expected.
std::optional<Unexpected> FirstUnexpected(const CLI::App& app, const std::vector<std::string>& arguments) {
    std::vector<Unexpected> found;
    CollectUnexpected(app, found);
    std::vector<std::string> texts;
    for (const Unexpected& unexpected : found) texts.push_back(unexpected.text);
    const std::vector<std::size_t> positions = ArgumentPositions(arguments, texts);
    std::optional<Unexpected> first;
    for (std::size_t i = 0; i < found.size(); ++i) {
        found[i].position = positions[i];
        if (positions[i] != 0 && (!first || positions[i] < first->position)) first = found[i];
    }
    return first;
}

std::string UnexpectedMessage(const Unexpected& unexpected) {
    const std::string argument = Argument(unexpected.position);
    const CLI::App& command = *unexpected.command;
    if (LooksLikeOption(unexpected.text)) return argument + " is not an option of " + CommandPath(command) + ".";
    if (!DefinedCommands(command).empty() && command.get_subcommands().empty())
        return argument + ": unknown command. The commands of " + CommandPath(command) + " are " +
               CommandNames(command) + ".";
    return argument + " was not expected by " + CommandPath(command) + ".";
}

// ---------------------------------------------------------------- what is missing

std::string MissingMessage(const CLI::App& app) {
    for (const CLI::App* command : RecognisedCommands(app)) {
        if (command->get_require_subcommand_min() > 0 && command->get_subcommands().empty())
            return CommandPath(*command) + " needs a command: " + CommandNames(*command) + ".";
        for (const CLI::Option* option : command->get_options())
            if (option->get_required() && option->count() == 0)
                return CommandPath(*command) + " needs the option " + option->get_name() + ".";
    }
    return "The command line is incomplete.";
}

// ---------------------------------------------------------------- an option used wrongly

// True when the last of `arguments` is an option that waits for its value in
// the next argument.
bool WaitsForValue(const CLI::App& app, const std::vector<std::string>& arguments) {
    const CLI::Option* option = FindOption(app, arguments.back());
    return option && TakesValue(*option) && arguments.back().find('=') == std::string::npos;
}

// The position of the argument at fault: the end of the shortest beginning of
// the arguments whose parse fails other than for want of what follows. The
// parsed state of `app` is then that of this beginning.
std::optional<std::size_t> ArgumentAtFault(CLI::App& app, const std::vector<std::string>& arguments) {
    for (std::size_t end = 1; end <= arguments.size(); ++end) {
        const std::vector<std::string> beginning(arguments.begin(), arguments.begin() + static_cast<long>(end));
        try {
            Parse(app, beginning);
        } catch (const CLI::RequiredError&) {
            continue;
        } catch (const CLI::Success&) {
            continue;
        } catch (const CLI::ArgumentMismatch&) {
            if (!WaitsForValue(app, beginning) || end == arguments.size()) return end;
        } catch (const CLI::ParseError&) {
            return end;
        }
    }
    return std::nullopt;
}

std::string OptionMessage(const CLI::App& app, const std::vector<std::string>& arguments, std::size_t position) {
    const CLI::Option* option = FindOption(app, arguments[position - 1]);
    if (!option && position > 1 && (option = FindOption(app, arguments[position - 2])))
        --position;  // the value of the option before it
    if (!option) return Argument(position) + " is not valid here.";
    const std::string& text = arguments[position - 1];
    const std::string prefix = Argument(position) + ": the option " + option->get_name();
    if (!TakesValue(*option) && text.find('=') != std::string::npos) return prefix + " takes no value.";
    if (TakesValue(*option) && (text.back() == '=' || position == arguments.size()))
        return prefix + " needs a value.";
    const auto uses = std::count_if(arguments.begin(), arguments.begin() + static_cast<long>(position),
                                    [&](const std::string& other) { return FindOption(app, other) == option; });
    if (uses > 1) return prefix + " is given more than once.";
    if (const std::string choices = Choices(*option); !choices.empty()) return prefix + " takes " + choices + ".";
    return prefix + " cannot take this value.";
}

}  // namespace

void Parse(CLI::App& app, const std::vector<std::string>& arguments) {
    std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
    app.parse(reversed);
}

UsageError DescribeUsageError(CLI::App& app, const CLI::ParseError& error, const std::vector<std::string>& arguments) {
    if (const std::optional<Unexpected> unexpected = FirstUnexpected(app, arguments))
        return {UnexpectedMessage(*unexpected), HelpHint(*unexpected->command)};
    const CLI::App& command = *RecognisedCommands(app).back();
    UsageError described{{}, HelpHint(command)};
    if (dynamic_cast<const CLI::RequiredError*>(&error)) {
        described.message = MissingMessage(app);
    } else if (const std::optional<std::size_t> position = ArgumentAtFault(app, arguments)) {
        described.message = OptionMessage(app, arguments, *position);
    } else {
        described.message = "The command line is not valid.";
    }
    return described;
}

std::vector<std::size_t> ArgumentPositions(const std::vector<std::string>& arguments,
                                           const std::vector<std::string>& found, std::size_t after) {
    std::vector<bool> taken(arguments.size(), false);
    const auto find = [&](const std::string& text, std::size_t from) -> std::size_t {
        for (std::size_t i = from; i < arguments.size(); ++i)
            if (!taken[i] && arguments[i] == text) return i + 1;
        return 0;
    };
    std::vector<std::size_t> positions;
    std::size_t next = after;
    for (const std::string& text : found) {
        std::size_t position = find(text, next);
        if (position == 0) position = find(text, after);
        if (position != 0) {
            taken[position - 1] = true;
            next = position;
        }
        positions.push_back(position);
    }
    return positions;
}

}  // namespace cli
