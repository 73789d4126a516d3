#pragma once
// Texts of the program's string table (resources/StringIds.h names them),
// read through the machine seam: the windows and the console program share
// this unit, and neither needs the other's libraries for it.

#include "os/Text.h"

namespace shell {

// The string `id` of the program; raises engine::Exception when it is missing.
os::WString ResString(unsigned id);
// The same, with an empty text for a string that the table does not hold
// (the string table cannot store an empty text).
os::WString ResStringOrEmpty(unsigned id);

}  // namespace shell
