#pragma once
// The base of the two dialogs that take an account's name, domain and
// password: the rows they share, the domain row that a local account goes
// without, their follow-up questions and Help.

#include "shell/SubstFrm.h"
#include "toolkit/Label.h"
#include "toolkit/StdCtrls.h"
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

    toolkit::TLabel& lblDomain;
    toolkit::TEdit& edtUserName;
    toolkit::TEdit& edtDomain;
    toolkit::TEdit& edtPassword;

private:
    bool localAccount_ = false;
};

}  // namespace ui
