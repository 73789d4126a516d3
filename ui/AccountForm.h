#pragma once
// The base of the two dialogs that take an account's name, domain and
// password: the rows they share, the domain row that a local account goes
// without, their follow-up questions and Help.

#include "shell/SubstFrm.h"
#include "toolkit/Label.h"
#include "toolkit/StdCtrls.h"
#include "engine/Utilities.h"
#include "ui/AccountDlgCore.h"

#include <string>

namespace ui {

class TAccountForm : public shell::TSubstForm {
public:
    // `layoutResource` names the stored layout; it holds lblDomain,
    // edtUserName, edtDomain and edtPassword.
    TAccountForm(toolkit::TComponent* owner, const wchar_t* layoutResource);

    void btnHelpClick(toolkit::TComponent* sender);

protected:
    // Closing wipes the password edits, whatever the result: the dialog keeps
    // them as they were while it stays open.
    void DoHide() override;
    // A local account's dialog hides its domain row and moves every control
    // below it, hidden ones too, up into its place; the client area shrinks as
    // much. It works from the controls' current positions, so running it again
    // changes nothing.
    void ApplyRunTimeLayout() override;
    // Fills in the names, empties the password and, for a local account, takes
    // the domain row out. The hidden domain keeps its text for verification.
    void ShowAccount(const TAccountFields& account);
    // Asks a question with Yes and No, under this dialog's caption and with
    // its help topic; true for Yes.
    bool AskYes(unsigned messageId);
    // After Windows rejected the password: asks the question `messageId`, to
    // which from the third rejection in this dialog a warning is added that
    // more wrong passwords may lock the account out; true for Yes.
    bool AskAgainAfterRejection(unsigned messageId);
    // Windows refuses the account for now after too many wrong passwords:
    // says so; the dialog stays open.
    void ShowLockedOut();
    // The names as typed, in the form Windows takes (engine::WindowsAccountName);
    // an e-mail address typed while the domain row is hidden has no domain.
    engine::UserAccount TypedAccount();

    toolkit::TLabel& lblDomain;
    toolkit::TEdit& edtUserName;
    toolkit::TEdit& edtDomain;
    toolkit::TEdit& edtPassword;

private:
    bool localAccount_ = false;
    int rejections_ = 0;
};

}  // namespace ui
