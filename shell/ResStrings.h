#pragma once
// Texts of the program's string table (resources/StringIds.h names them).

#include <string>

namespace shell {

// The string `id` of the program; raises engine::Exception when it is missing.
std::wstring ResString(unsigned id);
// The same, with an empty text for a string that the table does not hold
// (the string table cannot store an empty text).
std::wstring ResStringOrEmpty(unsigned id);

}  // namespace shell
