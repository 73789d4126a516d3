#include "shell/ResStrings.h"

#include "engine/Exception.h"

#include <windows.h>

namespace shell {

std::wstring ResStringOrEmpty(unsigned id) {
    const wchar_t* text = nullptr;
    int length = LoadStringW(GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&text), 0);
    if (length <= 0 || !text) return {};
    return std::wstring(text, static_cast<std::size_t>(length));
}

std::wstring ResString(unsigned id) {
    std::wstring text = ResStringOrEmpty(id);
    if (text.empty()) throw engine::Exception("The text " + std::to_string(id) + " is missing from the program");
    return text;
}

}  // namespace shell
