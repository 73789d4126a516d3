#include "MachineTest.h"
#include "toolkit/LayoutReader.h"
#include "toolkit/ShortCut.h"

#include <gtest/gtest.h>

namespace {

using ShortCut = MachineTest;

TEST_F(ShortCut, FunctionKeysLettersAndModifiers) {
    EXPECT_EQ(toolkit::ParseShortCut("F1"), (toolkit::TShortCut{0x70, false, false, false}));
    EXPECT_EQ(toolkit::ParseShortCut("F3"), (toolkit::TShortCut{0x72, false, false, false}));
    EXPECT_EQ(toolkit::ParseShortCut("Alt+X"), (toolkit::TShortCut{'X', false, false, true}));
    EXPECT_EQ(toolkit::ParseShortCut("ctrl+shift+s"), (toolkit::TShortCut{'S', true, true, false}));
    EXPECT_EQ(toolkit::ParseShortCut("Del"), (toolkit::TShortCut{0x2E, false, false, false}));
}

TEST_F(ShortCut, TextShownInMenus) {
    EXPECT_EQ(toolkit::ShortCutToText(toolkit::ParseShortCut("alt+x")), "Alt+X");
    EXPECT_EQ(toolkit::ShortCutToText(toolkit::ParseShortCut("F12")), "F12");
    EXPECT_EQ(toolkit::ShortCutToText(toolkit::ParseShortCut("Shift+Ctrl+Enter")), "Ctrl+Shift+Enter");
    EXPECT_EQ(toolkit::ShortCutToText({}), "");
}

TEST_F(ShortCut, UnknownKeysAndModifiersAreRefused) {
    EXPECT_THROW(toolkit::ParseShortCut(""), toolkit::ELayoutError);
    EXPECT_THROW(toolkit::ParseShortCut("F0"), toolkit::ELayoutError);
    EXPECT_THROW(toolkit::ParseShortCut("F25"), toolkit::ELayoutError);
    EXPECT_THROW(toolkit::ParseShortCut("Meta+X"), toolkit::ELayoutError);
    EXPECT_THROW(toolkit::ParseShortCut("Alt+"), toolkit::ELayoutError);
    EXPECT_THROW(toolkit::ParseShortCut("Alt+XY"), toolkit::ELayoutError);
}

}  // namespace
