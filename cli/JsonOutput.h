#pragma once
// gatewisecmd's JSON. Every command's object, and the object of a command
// that failed, leaves through WriteJson, so all of it is read the same way.

#include <nlohmann/json.hpp>

#include <ostream>
#include <string>

namespace cli {

using Json = nlohmann::ordered_json;

// Writes `object` indented, on lines of ASCII alone: each character beyond
// ASCII is a \u escape (a pair of them beyond U+FFFF). Windows PowerShell
// 5.1 decodes a program's output in the console's code page, so only ASCII
// reaches its ConvertFrom-Json unchanged whatever that page is. Bytes that
// are not UTF-8 are written as U+FFFD.
void WriteJson(std::ostream& out, const Json& object);

// What a command that failed writes instead of its result:
// {"error": message, "exitCode": code}.
Json FailureJson(const std::string& message, int exitCode);

// One entry of a result's "changes": {"name", "from", "to"}.
Json Change(const std::string& name, Json from, Json to);

}  // namespace cli
