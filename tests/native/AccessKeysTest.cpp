// Every stored window: no two of its controls answer to one access key, and a
// menu bar's menus do not share one with the window's controls (Alt+letter
// goes to the control then, and the menu never opens).
#include "os/Text.h"
#include "toolkit/LabelText.h"
#include "toolkit/LayoutReader.h"

#include <gtest/gtest.h>

#include <cwctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

namespace {

std::filesystem::path LayoutFolder() {
    const std::string file = __FILE__;
    return std::filesystem::path(file.substr(0, file.rfind("tests/native/"))) / "resources" / "layouts";
}

// Notes the access key of every captioned node under `node`, by the name of
// the group it must be unique in; menu items go into their menu's group.
void CollectKeys(const toolkit::LayoutNode& node, const std::string& group,
                 std::map<std::string, std::multimap<wchar_t, std::string>>& keys) {
    for (const toolkit::LayoutNode& child : node.children) {
        const toolkit::LayoutProperty* caption = child.Find("Caption");
        const bool captioned = child.kind == "label" || child.kind == "button" || child.kind == "checkbox" ||
                               child.kind == "menuitem";
        const bool noAccessKeys = child.Find("ShowAccelChar") && !child.Find("ShowAccelChar")->Bool();
        if (captioned && caption && !noAccessKeys) {
            const toolkit::TShownCaption shown = toolkit::ShownCaption(caption->Text());
            if (shown.accessKey != os::WString::npos)
                keys[group].emplace(static_cast<wchar_t>(std::towupper(static_cast<wint_t>(shown.text[shown.accessKey]))),
                                    child.name);
        }
        CollectKeys(child, child.kind == "menuitem" ? child.name : group, keys);
    }
}

TEST(AccessKeys, NoWindowHasTwoControlsWithOneAccessKey) {
    int windows = 0;
    for (const auto& entry : std::filesystem::directory_iterator(LayoutFolder())) {
        if (entry.path().extension() != ".txt") continue;
        std::ifstream file(entry.path(), std::ios::binary);
        std::stringstream text;
        text << file.rdbuf();
        const toolkit::LayoutNode root = toolkit::ReadLayout(text.str(), entry.path().filename().string());
        std::map<std::string, std::multimap<wchar_t, std::string>> keys;
        CollectKeys(root, root.name, keys);
        for (const auto& [group, found] : keys)
            for (auto key = found.begin(); key != found.end(); key = found.upper_bound(key->first)) {
                std::string holders;
                for (auto same = found.equal_range(key->first); same.first != same.second; ++same.first)
                    holders += " " + same.first->second;
                EXPECT_EQ(found.count(key->first), 1u)
                    << group << ": Alt+" << static_cast<char>(key->first) << " is taken by" << holders;
            }
        ++windows;
    }
    EXPECT_EQ(windows, 7);
}

}  // namespace
