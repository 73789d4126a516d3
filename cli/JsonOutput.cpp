#include "cli/JsonOutput.h"

namespace cli {

void WriteJson(std::ostream& out, const Json& object) {
    const bool asciiOnly = true;
    out << object.dump(2, ' ', asciiOnly, Json::error_handler_t::replace) << '\n';
}

Json FailureJson(const std::string& message, int exitCode) {
    return Json{{"error", message}, {"exitCode", exitCode}};
}

Json Change(const std::string& name, Json from, Json to) {
    return Json{{"name", name}, {"from", std::move(from)}, {"to", std::move(to)}};
}

}  // namespace cli
