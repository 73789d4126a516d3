#include "shell/ResStrings.h"

#include "engine/Exception.h"
#include "os/WinApi.h"

namespace shell {

os::WString ResStringOrEmpty(unsigned id) {
    os::WinApi& api = os::Api();
    const HMODULE program = api.GetModuleHandleA(nullptr);
    if (!program) return {};
    // With no buffer size, Windows hands out the text where the resource holds it.
    const WCHAR* text = nullptr;
    const int length = api.LoadStringW(program, id, reinterpret_cast<LPWSTR>(&text), 0);
    if (length <= 0 || !text) return {};
    return os::WString(text, static_cast<std::size_t>(length));
}

os::WString ResString(unsigned id) {
    os::WString text = ResStringOrEmpty(id);
    if (text.empty()) throw engine::Exception("The text " + std::to_string(id) + " is missing from the program");
    return text;
}

}  // namespace shell
