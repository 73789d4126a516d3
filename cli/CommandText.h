#pragma once
// How gatewisecmd's commands show what they read: terminal-safe text, the
// names of modes and settings, the account and the options.

#include "cli/JsonOutput.h"
#include "diagnostics/AutologonState.h"
#include "os/Text.h"
#include "settings/Options.h"

#include <optional>
#include <ostream>
#include <string>
#include <string_view>

namespace cli {

// UTF-8 text for a terminal, with its control characters (C0, DEL and C1),
// line separators and format characters escaped as JSON escapes them
// (engine/AccountNames.h): a name from the registry must not move the
// cursor, change colours, forge a line of the output or turn text around.
std::string Printable(std::string_view text);
std::string PrintableAccount(const os::WString& user, const os::WString& domain);

// "secure", "relaxed" or "custom".
const char* ModeName(settings::TPromptMode mode);

// One of the three settings as status reports it.
enum class SettingState { Asks, DoesNotAsk, NotManaged, NoUser };

struct SettingStates {
    SettingState startup;
    SettingState resume;
    SettingState screenSaver;
};

// The three settings, those that the options leave alone as not managed.
SettingStates ReadSettings(settings::TOptions& options);
// The same for the settings `managed`, whatever the options enable.
SettingStates ReadSettings(const settings::TSettingSet& managed);
// Its name in JSON, and in text.
const char* SettingKey(SettingState state);
const char* SettingText(SettingState state);

const char* PasswordText(diagnostics::PasswordStore store);
// The account as status shows it: user, domain and where its password is.
Json AccountJson(const diagnostics::AutologonState& account);

Json OptionsJson(settings::TOptions& options);
// The six options, one "  NAME=True" line each, noting those a policy sets.
void ShowOptions(std::ostream& out, settings::TOptions& options);
// Each policy value in force by its name, true or false.
Json PoliciesJson(const settings::TPolicies& policies);

Json OrNull(const std::optional<std::string>& text);

}  // namespace cli
