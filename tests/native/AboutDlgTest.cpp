// The About box's texts.
#include "shell/Substitution.h"
#include "ui/AboutDlgCore.h"

#include <gtest/gtest.h>

namespace {

TEST(AboutDlg, VersionTextNamesTheProductAndItsVersion) {
    EXPECT_EQ(ui::AboutVersionText(), WSTR("{APPNAME} 1.52")) << "without the table the token stays";
    shell::CreateSubstitutionList();
    EXPECT_EQ(ui::AboutVersionText(), WSTR("Gatewise 1.52"));
    shell::FreeSubstitutionList();
}

TEST(AboutDlg, CopyrightNoticeGetsTheYearsAndTheMaker) {
    EXPECT_EQ(ui::AboutCopyrightText(WSTR("(c) %s\nAll rights reserved.")),
              WSTR("(c) 2006-2025 Vantrel Technologies\nAll rights reserved."));
}

}  // namespace
