#pragma once
// The main window's work that needs no window: the line under the header,
// which tells what Custom Mode is made of or what keeps the mode shown from
// taking effect.

#include "diagnostics/Diagnostics.h"
#include "os/Text.h"
#include "settings/Options.h"

#include <optional>
#include <vector>

namespace ui {

// Whether each of the three settings asks for the password now; empty for a
// setting that the options leave alone.
struct TPromptStates {
    std::optional<bool> startup;
    std::optional<bool> wake;
    std::optional<bool> screenSaver;
};
// Reads the settings that the options switch.
TPromptStates ReadPromptStates(settings::TOptions& options);

// The texts of the Custom Mode line, from the program's string table.
struct TCustomModeTexts {
    os::WString line;     // two %s: the moments that ask, then those that do not
    os::WString noneSet;  // when the options switch none of the settings
    os::WString both;     // two %s: two moments, all of them
    os::WString either;   // two %s: two moments, any of them
    os::WString startup;  // the three moments
    os::WString wake;
    os::WString screenSaver;
};
// What the line under the header says in Custom Mode: the moments at which
// the password is asked and those at which it is not, as they differ from
// Secure Mode. Empty when the switched settings make Secure or Relaxed Mode.
os::WString CustomModeLine(const TPromptStates& states, const TCustomModeTexts& texts);

// The explanation of Relaxed Mode while the policy turns it off: its
// "relaxed" link, with the brackets around it, gives way to `line` on a line
// of its own, so that nothing in it switches. Markup without that link is
// returned with `line` added.
os::WString WithoutRelaxedLink(const os::WString& markup, const os::WString& line);

// The texts of the line that says what keeps the mode shown from taking effect.
struct TOverriddenTexts {
    os::WString more;      // %s: how many more checks keep it from taking effect
    os::WString saysMore;  // where to read more
};
// The first check's summary, how many more there are and where to read more;
// empty when no check keeps `mode` from taking effect.
os::WString OverriddenLine(const std::vector<diagnostics::CheckResult>& overriding, settings::TPromptMode mode,
                           const TOverriddenTexts& texts);

// What the main window shows of the mode.
struct TModeDisplay {
    std::optional<settings::TPromptMode> mode;  // nullopt: the settings could not be read
    os::WString line;        // the line under the header; empty: none
    os::WString overridden;  // in Secure or Relaxed Mode: what keeps it from taking effect
    os::WString unreadable;  // why the mode could not be read, on one line
};
struct TModeLineTexts {
    TCustomModeTexts custom;
    TOverriddenTexts overridden;
    os::WString unknown;  // %s: why the mode could not be read
};
// Reads the mode and makes the line under the header: Custom Mode's
// make-up, what keeps Secure or Relaxed Mode from taking effect (only
// `withChecks`), or why the mode is unknown. A setting that cannot be read
// never raises.
TModeDisplay ReadModeDisplay(settings::TOptions& options, bool withChecks, const TModeLineTexts& texts);

}  // namespace ui
