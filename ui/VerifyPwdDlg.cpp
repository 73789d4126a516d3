#include "ui/VerifyPwdDlg.h"

#include "audit/Audit.h"
#include "engine/Utilities.h"
#include "resources/StringIds.h"
#include "settings/Options.h"
#include "shell/ResStrings.h"
#include "widgets/GuiUtilities.h"

namespace ui {

TdlgVerifyPwd::TdlgVerifyPwd(toolkit::TComponent* owner)
    : TAccountForm(owner, L"LAYOUT_VERIFYPWD"), chkDontShowAgain(Get<toolkit::TCheckBox>(L"chkDontShowAgain")) {
    RegisterHandler("FormCreate", &TdlgVerifyPwd::FormCreate);
    RegisterHandler("btnOkClick", &TdlgVerifyPwd::btnOkClick);
    RegisterHandler("btnCtrlPanelClick", &TdlgVerifyPwd::btnCtrlPanelClick);
}

void TdlgVerifyPwd::FormCreate(toolkit::TComponent*) {
    ShowAccount(CurrentAccountFields());
    // The administrator's policy decides whether the prompt shows.
    if (settings::GlobalOptions().SetByPolicy("VerifyPassword")) chkDontShowAgain.SetEnabled(false);
}

void TdlgVerifyPwd::btnOkClick(toolkit::TComponent*) {
    const os::SecretString password = edtPassword.SecretText();
    const engine::UserAccount account = TypedAccount();
    switch (engine::VerifyAccountPassword(account.user, account.domain, password)) {
        case engine::pcAccepted:
            // Accepted with an empty password: the account has none to ask for.
            if (password.empty()) {
                SetModalResult(toolkit::mrAbort);
                return;
            }
            SetModalResult(toolkit::mrOk);
            SaveVerifyPassword();
            return;
        case engine::pcRejected:
            if (!AskAgainAfterRejection(IDS_VERIFY_REJECTED)) SetModalResult(toolkit::mrCancel);
            return;
        case engine::pcLockedOut:
            ShowLockedOut();
            return;
        case engine::pcCannotVerify:
            SetModalResult(AskYes(IDS_VERIFY_IMPOSSIBLE) ? toolkit::mrOk : toolkit::mrCancel);
            SaveVerifyPassword();
            return;
    }
}

void TdlgVerifyPwd::SaveVerifyPassword() {
    settings::TOptions& options = settings::GlobalOptions();
    if (options.SetByPolicy("VerifyPassword")) return;
    audit::TOptionsChange change(options, audit::orWindow);
    options.SetVerifyPassword(!chkDontShowAgain.Checked());
    options.Save("VerifyPassword");
    audit::Warnings ignored;  // as for a switch in the main window
    change.Report(ignored);
}

void TdlgVerifyPwd::btnCtrlPanelClick(toolkit::TComponent*) {
    widgets::RunSystemProgram(shell::ResString(IDS_USERS_MANAGEMENT_COMMAND));
}

}  // namespace ui
