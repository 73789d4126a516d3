#include "toolkit/ShortCut.h"

#include "os/Text.h"
#include "toolkit/LayoutReader.h"

#include <array>

namespace toolkit {
namespace {

struct NamedKey {
    const char* name;
    std::uint16_t key;
};

// Virtual-key codes of the named keys (winuser.h values).
constexpr std::array<NamedKey, 11> kNamedKeys{{
    {"Enter", 0x0D}, {"Esc", 0x1B}, {"Space", 0x20}, {"PgUp", 0x21}, {"PgDn", 0x22}, {"End", 0x23},
    {"Home", 0x24}, {"Ins", 0x2D}, {"Del", 0x2E}, {"Tab", 0x09}, {"BkSp", 0x08},
}};

std::uint16_t KeyFromName(std::string_view name) {
    if (name.size() == 1) {
        char c = name[0];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return static_cast<std::uint16_t>(c);
    }
    if (name.size() >= 2 && (name[0] == 'F' || name[0] == 'f')) {
        int number = 0;
        for (char c : name.substr(1)) {
            if (c < '0' || c > '9') return 0;
            number = number * 10 + (c - '0');
        }
        if (number >= 1 && number <= 24) return static_cast<std::uint16_t>(0x70 + number - 1);
        return 0;
    }
    for (const NamedKey& named : kNamedKeys)
        if (os::EqualsIgnoringCase(name, named.name)) return named.key;
    return 0;
}

}  // namespace

TShortCut ParseShortCut(std::string_view text) {
    TShortCut result;
    std::string_view rest = text;
    for (;;) {
        std::size_t plus = rest.find('+');
        if (plus == std::string_view::npos || plus == 0 || plus + 1 == rest.size()) break;
        std::string_view modifier = rest.substr(0, plus);
        if (os::EqualsIgnoringCase(modifier, "Shift")) result.shift = true;
        else if (os::EqualsIgnoringCase(modifier, "Ctrl")) result.ctrl = true;
        else if (os::EqualsIgnoringCase(modifier, "Alt")) result.alt = true;
        else throw ELayoutError("Unknown shortcut modifier \"" + std::string(modifier) + "\" in \"" + std::string(text) + "\"");
        rest = rest.substr(plus + 1);
    }
    result.key = KeyFromName(rest);
    if (result.key == 0) throw ELayoutError("Unknown shortcut key in \"" + std::string(text) + "\"");
    return result;
}

std::string ShortCutToText(const TShortCut& shortcut) {
    if (shortcut.key == 0) return {};
    std::string text;
    if (shortcut.ctrl) text += "Ctrl+";
    if (shortcut.shift) text += "Shift+";
    if (shortcut.alt) text += "Alt+";
    if (shortcut.key >= 0x70 && shortcut.key <= 0x87) return text + "F" + std::to_string(shortcut.key - 0x70 + 1);
    for (const NamedKey& named : kNamedKeys)
        if (named.key == shortcut.key) return text + named.name;
    return text + static_cast<char>(shortcut.key);
}

}  // namespace toolkit
