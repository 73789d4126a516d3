#include "ui/AboutDlg.h"

#include "resources/StringIds.h"
#include "shell/ResStrings.h"
#include "ui/AboutDlgCore.h"
#include "widgets/GuiUtilities.h"

namespace ui {
namespace {

std::string AboutLayout() {
    widgets::RegisterLinkLabel();
    return toolkit::LayoutResourceText(L"LAYOUT_ABOUT");
}

}  // namespace

TdlgAbout::TdlgAbout(toolkit::TComponent* owner)
    : TSubstForm(owner, AboutLayout(), "LAYOUT_ABOUT"),
      imgLogo(Get<toolkit::TImage>(L"imgLogo")),
      imgVantrelLogo(Get<toolkit::TImage>(L"imgVantrelLogo")),
      lblCopyRight(Get<toolkit::TLabel>(L"lblCopyRight")),
      lblVersion(Get<toolkit::TLabel>(L"lblVersion")),
      lblLink(Get<widgets::TLinkLabel>(L"lblLink")) {
    RegisterHandler("FormCreate", &TdlgAbout::FormCreate);
}

void TdlgAbout::FormCreate(toolkit::TComponent*) {
    widgets::LoadPNGImage(imgVantrelLogo, L"KXLOGO");
    widgets::LoadPNGImage(imgLogo, L"LOGO_LOCK");
    ApplyRunTimeLayout();
    lblCopyRight.SetCaption(AboutCopyrightText(lblCopyRight.Caption()));
    lblVersion.SetCaption(AboutVersionText());
    const std::wstring page = shell::ResString(IDS_PRODUCT_PAGE);
    lblLink.SetCaption(page);
    lblLink.HREF = page;
}

void TdlgAbout::ApplyRunTimeLayout() {
    TSubstForm::ApplyRunTimeLayout();
    imgVantrelLogo.SetLeft(lblCopyRight.Left() + lblCopyRight.Width() - imgVantrelLogo.Width());
}

}  // namespace ui
