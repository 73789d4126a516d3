#pragma once
// The main window's work that needs no window: the line that tells what
// Custom Mode is made of.

#include "os/Text.h"
#include "settings/Options.h"

#include <optional>

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

}  // namespace ui
