#include "ui/AccountForm.h"

#include "os/Text.h"
#include "shell/ResStrings.h"
#include "toolkit/Layout.h"
#include "ui/InfoDlgEx.h"
#include "widgets/KXLabel.h"

namespace ui {
namespace {

std::string AccountLayout(const wchar_t* resource) {
    widgets::RegisterKXLabel();
    return toolkit::LayoutResourceText(resource);
}

}  // namespace

TAccountForm::TAccountForm(toolkit::TComponent* owner, const wchar_t* layoutResource)
    : TSubstForm(owner, AccountLayout(layoutResource), os::ToUtf8(layoutResource)),
      lblDomain(Get<toolkit::TLabel>(L"lblDomain")),
      edtUserName(Get<toolkit::TEdit>(L"edtUserName")),
      edtDomain(Get<toolkit::TEdit>(L"edtDomain")),
      edtPassword(Get<toolkit::TEdit>(L"edtPassword")) {
    RegisterHandler("btnHelpClick", &TAccountForm::btnHelpClick);
}

void TAccountForm::ShowAccount(const TAccountFields& account) {
    edtUserName.SetText(account.user);
    edtDomain.SetText(account.domain);
    edtPassword.SetText(L"");
    localAccount_ = account.local;
    ApplyRunTimeLayout();
}

void TAccountForm::ApplyRunTimeLayout() {
    TSubstForm::ApplyRunTimeLayout();
    if (!localAccount_) return;
    lblDomain.SetVisible(false);
    edtDomain.SetVisible(false);
    TRowLayout rows{{}, ClientHeight()};
    for (const toolkit::TControl* control : Controls()) rows.tops.push_back(control->Top());
    rows = WithoutDomainRow(rows, edtDomain.Top(), edtPassword.Top());
    for (std::size_t i = 0; i < rows.tops.size(); ++i) Controls()[i]->SetTop(rows.tops[i]);
    SetClientHeight(rows.clientHeight);
}

void TAccountForm::DoHide() {
    for (std::size_t i = 0; i < ComponentCount(); ++i)
        if (auto* edit = dynamic_cast<toolkit::TEdit*>(Components(i)); edit && edit->PasswordChar())
            edit->WipeText();
    TSubstForm::DoHide();
}

bool TAccountForm::AskYes(unsigned messageId) {
    return AskYesNoEx(this, shell::ResString(messageId), Caption(), false, nullptr, HelpContext) == iaYes;
}

void TAccountForm::btnHelpClick(toolkit::TComponent*) { toolkit::Application().HelpContext(HelpContext); }

}  // namespace ui
