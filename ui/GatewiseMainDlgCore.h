#pragma once
// The main window's work that needs no window: the report of the settings
// check, as markup for the message dialog.

#include "diagnostics/Diagnostics.h"
#include "os/Text.h"

#include <vector>

namespace ui {

// The texts around the findings, from the program's string table.
struct TCheckReportTexts {
    os::WString problems;  // heading of each group
    os::WString warnings;
    os::WString fine;
    os::WString fix;  // put before a fix
};

// Problems first, then warnings, then what is in order, each group under its
// bold heading (a group without findings is left out). Every finding starts a
// line of its own, its fix follows on the next line in italics. Texts cannot
// open a tag: "<" in them shows as "‹".
os::WString CheckReportMarkup(std::vector<diagnostics::CheckResult> results, const TCheckReportTexts& texts);

}  // namespace ui
