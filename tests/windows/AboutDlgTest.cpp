#include "FormTest.h"
#include "shell/Substitution.h"
#include "toolkit/StdCtrls.h"
#include "ui/AboutDlg.h"

#include <objbase.h>

namespace {

using namespace toolkit;

class AboutDlg : public FormTest {
protected:
    void SetUp() override {
        FormTest::SetUp();
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        shell::CreateSubstitutionList();
    }
    void TearDown() override {
        shell::FreeSubstitutionList();
        CoUninitialize();
        FormTest::TearDown();
    }
};

TEST_F(AboutDlg, ShowsLogosVersionCopyrightAndTheProductPage) {
    std::unique_ptr<ui::TdlgAbout> about(CreateForm<ui::TdlgAbout>(nullptr));
    ASSERT_TRUE(errors.empty()) << errors.front();
    EXPECT_EQ(L"About Gatewise", about->Caption());
    EXPECT_EQ(L"Gatewise 1.52", about->Get<TLabel>(L"lblVersion").Caption());

    const TLabel& copyright = about->Get<TLabel>(L"lblCopyRight");
    EXPECT_EQ(L"Copyright \u00A9 2006-2025 Vantrel Technologies\nAll rights reserved.", copyright.Caption());
    const TImage& maker = about->Get<TImage>(L"imgVantrelLogo");
    ASSERT_NE(nullptr, maker.CurrentPicture());
    EXPECT_EQ(163, maker.Width());
    EXPECT_EQ(copyright.Left() + copyright.Width(), maker.Left() + maker.Width());
    EXPECT_NE(nullptr, about->Get<TImage>(L"imgLogo").CurrentPicture());

    const auto& link = about->Get<widgets::TLinkLabel>(L"lblLink");
    EXPECT_EQ(L"https://www.vantrel.com/gatewise/", link.HREF);
    EXPECT_EQ(link.HREF, link.Caption());
    // Right-aligned texts end where the copyright notice and the button end.
    const TButton& ok = about->Get<TButton>(L"btnOK");
    EXPECT_EQ(ok.Left() + ok.Width(), link.Left() + link.Width());
    EXPECT_EQ(ok.Left() + ok.Width(), copyright.Left() + copyright.Width());
    EXPECT_EQ(&ok, about->DefaultButton());
    EXPECT_EQ(&ok, about->CancelButton());
}

}  // namespace
