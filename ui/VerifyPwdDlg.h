#pragma once
// The password verification dialog: before secure mode is switched on, the
// user proves that they know the password of their account. Its modal result
// tells the caller what to do: mrOk go ahead, mrCancel not confirmed, mrAbort
// the account has no password.

#include "ui/AccountForm.h"

namespace ui {

class TdlgVerifyPwd : public TAccountForm {
public:
    explicit TdlgVerifyPwd(toolkit::TComponent* owner);

    // Shows the logged-on account.
    void FormCreate(toolkit::TComponent* sender);
    // Verifies the password and ends the dialog, or asks whether to try again
    // or to go ahead without a verification.
    void btnOkClick(toolkit::TComponent* sender);
    // Opens the user accounts control panel; the dialog stays open.
    void btnCtrlPanelClick(toolkit::TComponent* sender);

private:
    // Stores whether this prompt shows before the next switch to secure mode.
    void SaveVerifyPassword();

    toolkit::TCheckBox& chkDontShowAgain;
};

}  // namespace ui
