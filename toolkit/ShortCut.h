#pragma once
// Keyboard shortcuts of menu items, written as in menus: "F2", "Alt+X", "Ctrl+Shift+S".

#include <cstdint>
#include <string>
#include <string_view>

namespace toolkit {

struct TShortCut {
    std::uint16_t key = 0;  // virtual-key code; 0 = none
    bool shift = false;
    bool ctrl = false;
    bool alt = false;

    bool operator==(const TShortCut&) const = default;
};

// Raises ELayoutError for text that is not a shortcut.
TShortCut ParseShortCut(std::string_view text);
// The text shown beside a menu caption ("Alt+X").
std::string ShortCutToText(const TShortCut& shortcut);

}  // namespace toolkit
