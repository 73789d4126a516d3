#include "MachineTest.h"
#include "shell/LayoutReader.h"
#include "shell/ShortCut.h"

#include <gtest/gtest.h>

namespace {

using ShortCut = MachineTest;

TEST_F(ShortCut, FunctionKeysLettersAndModifiers) {
    EXPECT_EQ(shell::ParseShortCut("F1"), (shell::ShortCut{0x70, false, false, false}));
    EXPECT_EQ(shell::ParseShortCut("F3"), (shell::ShortCut{0x72, false, false, false}));
    EXPECT_EQ(shell::ParseShortCut("Alt+X"), (shell::ShortCut{'X', false, false, true}));
    EXPECT_EQ(shell::ParseShortCut("ctrl+shift+s"), (shell::ShortCut{'S', true, true, false}));
    EXPECT_EQ(shell::ParseShortCut("Del"), (shell::ShortCut{0x2E, false, false, false}));
}

TEST_F(ShortCut, TextShownInMenus) {
    EXPECT_EQ(shell::ShortCutToText(shell::ParseShortCut("alt+x")), "Alt+X");
    EXPECT_EQ(shell::ShortCutToText(shell::ParseShortCut("F12")), "F12");
    EXPECT_EQ(shell::ShortCutToText(shell::ParseShortCut("Shift+Ctrl+Enter")), "Ctrl+Shift+Enter");
    EXPECT_EQ(shell::ShortCutToText({}), "");
}

TEST_F(ShortCut, UnknownKeysAndModifiersAreRefused) {
    EXPECT_THROW(shell::ParseShortCut(""), shell::ELayoutError);
    EXPECT_THROW(shell::ParseShortCut("F0"), shell::ELayoutError);
    EXPECT_THROW(shell::ParseShortCut("F25"), shell::ELayoutError);
    EXPECT_THROW(shell::ParseShortCut("Meta+X"), shell::ELayoutError);
    EXPECT_THROW(shell::ParseShortCut("Alt+"), shell::ELayoutError);
    EXPECT_THROW(shell::ParseShortCut("Alt+XY"), shell::ELayoutError);
}

}  // namespace
