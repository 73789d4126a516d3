#pragma once
// The auto-logon account dialog: the account that Windows logs on at
// start-up in relaxed mode, and its password, verified and then stored. It
// ends with mrOk only once the account is stored.

#include "ui/AccountForm.h"

namespace ui {

class TdlgAutologon : public TAccountForm {
public:
    explicit TdlgAutologon(toolkit::TComponent* owner);

    // Shows the stored auto-logon account, else the logged-on one, and
    // whether and where its password is stored.
    void FormCreate(toolkit::TComponent* sender);
    // OK is enabled exactly when the password and its confirmation agree; the
    // mismatch line shows exactly when it is not.
    void edtPasswordChange(toolkit::TComponent* sender);
    // With empty password fields while a password is stored, asks before
    // removing it. Verifies the account, asks to correct a rejected one, and stores it;
    // a password that only a plain registry value could take is pointed out.
    // When storing fails, or another change holds the lock, the error is
    // shown and the dialog stays open as it was.
    void btnOkClick(toolkit::TComponent* sender);
    // Empties the user name and both passwords; the domain stays.
    void btnClearClick(toolkit::TComponent* sender);

private:
    toolkit::TEdit& edtPasswordAgain;
    toolkit::TLabel& lblMismatch;
    toolkit::TLabel& lblStoredPassword;
    bool passwordStored_ = false;
    toolkit::TButton& btnOk;
};

}  // namespace ui
