#include "FormTest.h"
#include "shell/Substitution.h"
#include "toolkit/DpiScale.h"
#include "toolkit/StdCtrls.h"
#include "ui/AboutDlg.h"

#include <objbase.h>

namespace {

using namespace toolkit;

using AboutDlg = FormTest;

TEST_F(AboutDlg, ShowsLogosVersionCopyrightAndTheProductPage) {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    shell::CreateSubstitutionList();
    std::unique_ptr<ui::TdlgAbout> about(CreateForm<ui::TdlgAbout>(nullptr));
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(L"Gatewise 1.52", about->Get<TLabel>(L"lblVersion").Caption());
    const TLabel& copyright = about->Get<TLabel>(L"lblCopyRight");
    EXPECT_EQ(L"Copyright \u00A9 2006-2025 Vantrel Technologies\nAll rights reserved.", copyright.Caption());
    const TImage& maker = about->Get<TImage>(L"imgVantrelLogo");
    EXPECT_EQ(163, maker.Width()) << "sized to its picture";
    EXPECT_EQ(copyright.Left() + copyright.Width(), maker.Left() + maker.Width());
    EXPECT_NE(nullptr, about->Get<TImage>(L"imgLogo").CurrentPicture());
    const auto& link = about->Get<widgets::TLinkLabel>(L"lblLink");
    EXPECT_EQ(L"https://www.vantrel.com/gatewise/", link.HREF);
    EXPECT_EQ(link.HREF, link.Caption());
    const TButton& ok = about->Get<TButton>(L"btnOK");
    EXPECT_EQ(ok.Left() + ok.Width(), link.Left() + link.Width()) << "right-aligned texts keep their right edge";
    EXPECT_EQ(&ok, about->DefaultButton());
    EXPECT_EQ(&ok, about->CancelButton());

    // At another resolution the logos come drawn for it, and the maker's logo
    // still ends where the copyright notice ends.
    const auto created = ControlBounds(*about);
    MoveToDpi(*about, 144);
    EXPECT_EQ(245, maker.Width());
    EXPECT_EQ(72, maker.Height());
    EXPECT_EQ(copyright.Left() + copyright.Width(), maker.Left() + maker.Width());
    EXPECT_EQ(ScaleToDpi(483, 144), copyright.Left() + copyright.Width());
    EXPECT_EQ(237, about->Get<TImage>(L"imgLogo").Width());
    MoveToDpi(*about, 96);
    EXPECT_EQ(ControlBounds(*about), created);
    about.reset();
    shell::FreeSubstitutionList();
    CoUninitialize();
}

}  // namespace
