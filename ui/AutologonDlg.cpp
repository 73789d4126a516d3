#include "ui/AutologonDlg.h"

#include "audit/Audit.h"
#include "engine/AccountNames.h"
#include "engine/ChangeLock.h"
#include "engine/Utilities.h"
#include "resources/StringIds.h"
#include "shell/ResStrings.h"
#include "ui/InfoDlgEx.h"
#include "ui/InfoDlgExCore.h"

namespace ui {

TdlgAutologon::TdlgAutologon(toolkit::TComponent* owner)
    : TAccountForm(owner, L"LAYOUT_AUTOLOGON"),
      edtPasswordAgain(Get<toolkit::TEdit>(L"edtPasswordAgain")),
      lblMismatch(Get<toolkit::TLabel>(L"lblMismatch")),
      lblStoredPassword(Get<toolkit::TLabel>(L"lblStoredPassword")),
      btnOk(Get<toolkit::TButton>(L"btnOk")) {
    RegisterHandler("FormCreate", &TdlgAutologon::FormCreate);
    RegisterHandler("edtPasswordChange", &TdlgAutologon::edtPasswordChange);
    RegisterHandler("btnOkClick", &TdlgAutologon::btnOkClick);
    RegisterHandler("btnClearClick", &TdlgAutologon::btnClearClick);
}

void TdlgAutologon::FormCreate(toolkit::TComponent*) {
    ShowAccount(AutologonAccountFields());
    const TStoredPasswordLine stored = StoredPasswordLine();
    lblStoredPassword.SetCaption(shell::ResString(stored.textId));
    passwordStored_ = stored.removable;
    edtPasswordAgain.SetText(L"");
    edtPasswordChange(this);
}

void TdlgAutologon::edtPasswordChange(toolkit::TComponent*) {
    const bool confirmed = PasswordsConfirmed(edtPassword.SecretText(), edtPasswordAgain.SecretText());
    btnOk.SetEnabled(confirmed);
    lblMismatch.SetVisible(!confirmed);
}

void TdlgAutologon::btnOkClick(toolkit::TComponent*) {
    const os::SecretString password = edtPassword.SecretText();
    if (password.empty() && passwordStored_ && !AskYes(IDS_STORED_PASSWORD_REMOVE)) return;
    const engine::UserAccount account = TypedAccount();
    if (const std::optional<std::string> problem = engine::AccountNameProblem(account.user, account.domain)) {
        ShowErrorEx(this, PlainTextMarkup(os::FromUtf8(*problem)), shell::ResString(IDS_ERROR_CAPTION), HelpContext);
        return;
    }
    switch (engine::VerifyAccountPassword(account.user, account.domain, password)) {
    case engine::pcRejected:
        if (!AskAgainAfterRejection(IDS_AUTOLOGON_REJECTED)) SetModalResult(toolkit::mrCancel);
        return;
    case engine::pcLockedOut:
        ShowLockedOut();
        return;
    case engine::pcAccepted:
    case engine::pcCannotVerify:
        break;
    }
    audit::Warnings ignored;  // as for a switch in the main window
    engine::TPasswordStore store;
    try {
        const engine::TChangeLock lock(engine::TChangeLock::lpMachineWide);
        store = audit::SetAutologonAccount(account.user, account.domain, password, audit::orWindow, ignored);
    } catch (const engine::EChangeInProgress& busy) {
        ShowErrorEx(this, PlainTextMarkup(os::FromUtf8(busy.what())), shell::ResString(IDS_ERROR_CAPTION), HelpContext);
        return;
    }
    if (engine::IsPlainValue(store)) {
        std::wstring message = shell::ResString(IDS_PASSWORD_NOT_PROTECTED);
        if (store == engine::psPlainValueBehindProtected) message += shell::ResString(IDS_PASSWORD_OLD_PROTECTED_KEPT);
        ShowInfoEx(this, message, shell::ResString(IDS_PASSWORD_NOT_PROTECTED_CAPTION), HelpContext);
    }
    SetModalResult(toolkit::mrOk);
}

void TdlgAutologon::btnClearClick(toolkit::TComponent*) {
    edtUserName.SetText(L"");
    edtPassword.WipeText();
    edtPasswordAgain.WipeText();
    edtPasswordChange(this);
}

}  // namespace ui
