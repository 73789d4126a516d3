#include "shell/Substitution.h"
#include "ui/AboutDlgCore.h"

#include <gtest/gtest.h>

namespace {

TEST(AboutDlg, VersionTextNamesTheProductAndItsVersion) {
    shell::CreateSubstitutionList();
    EXPECT_EQ(ui::AboutVersionText(), WSTR("Gatewise 1.52"));
    shell::FreeSubstitutionList();
}

}  // namespace
