#pragma once
// The About box's texts that need no window.

#include "os/Text.h"

namespace ui {

// "{APPNAME} 1.52" through the substitution table: the product name and the
// version that the program's version resource carries too.
os::WString AboutVersionText();
// The copyright notice with the years and the maker's legal name in its "%s".
os::WString AboutCopyrightText(os::WStringView notice);

}  // namespace ui
