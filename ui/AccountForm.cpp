#include "ui/AccountForm.h"

#include "os/Text.h"
#include "resources/StringIds.h"
#include "shell/ResStrings.h"
#include "toolkit/Layout.h"
#include "ui/InfoDlgEx.h"
#include "widgets/KXLabel.h"

namespace ui {
namespace {

// Windows 11 locks an account for a while after 10 wrong passwords by default;
// the warning comes well before that.
constexpr int kRejectionsBeforeWarning = 3;

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

bool TAccountForm::AskAgainAfterRejection(unsigned messageId) {
    std::wstring text = shell::ResString(messageId);
    if (++rejections_ >= kRejectionsBeforeWarning) text += shell::ResString(IDS_LOCKOUT_WARNING);
    return AskYesNoEx(this, text, Caption(), false, nullptr, HelpContext) == iaYes;
}

void TAccountForm::ShowLockedOut() { ShowErrorEx(this, shell::ResString(IDS_ACCOUNT_LOCKED_OUT), Caption(), HelpContext); }

engine::UserAccount TAccountForm::TypedAccount() {
    const std::wstring user = edtUserName.Text();
    // An e-mail address typed over a local account's name carries its own
    // domain: the hidden row's computer name is not it.
    const bool ownDomain = localAccount_ && user.find(L'@') != std::wstring::npos;
    return engine::WindowsAccountName(user, ownDomain ? std::wstring() : edtDomain.Text());
}

void TAccountForm::btnHelpClick(toolkit::TComponent*) { toolkit::Application().HelpContext(HelpContext); }

}  // namespace ui
