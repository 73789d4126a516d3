#pragma once
// The options dialog: which of the three password prompts a switch changes,
// whether the resume prompt is written to every power scheme, and whether a
// switch to secure mode forgets the stored auto-logon password, and whether
// a switch to secure mode asks for the Windows password first. OK saves the
// options the user changed here; Cancel writes nothing.

#include "shell/SubstFrm.h"
#include "toolkit/Label.h"
#include "toolkit/StdCtrls.h"
#include "ui/OptionsDlgCore.h"

namespace ui {

class TdlgOptions : public shell::TSubstForm {
public:
    explicit TdlgOptions(toolkit::TComponent* owner);

    // Shows the options, as stored now. Without administrator rights the
    // start-up and resume prompts and the auto-logon account cannot be changed.
    void FormCreate(toolkit::TComponent* sender);
    // The boxes' click handler: at least one of the three prompts must stay enabled.
    void CheckBoxClick(toolkit::TComponent* sender);
    // Saves the options whose boxes the user changed, on top of the options
    // as stored now (SaveOptionChanges); when they could not be saved, says
    // so (once per run): they then hold until the program ends. When another
    // change holds the lock, or the result would enable no prompt, says so
    // and stays open.
    void btnOkClick(toolkit::TComponent* sender);
    // Opens the auto-logon account dialog over this one.
    void btnAutologonClick(toolkit::TComponent* sender);
    void btnHelpClick(toolkit::TComponent* sender);

private:
    TOptionBoxes Boxes() const;
    // The boxes of the options that the administrator's policy sets are
    // fixed, and a line says why.
    void FixPolicyOptions(const settings::TOptions& options);

    TOptionBoxes shown_;
    toolkit::TCheckBox& chkStartup;
    toolkit::TCheckBox& chkStandby;
    toolkit::TCheckBox& chkScreenSaver;
    toolkit::TCheckBox& chkModifyAllPowerProfiles;
    toolkit::TCheckBox& chkForgetPassword;
    toolkit::TCheckBox& chkVerifyPassword;
    toolkit::TLabel& lblMismatch;
    toolkit::TLabel& lblSetByPolicy;
    toolkit::TButton& btnAutologon;
    toolkit::TButton& btnOk;
};

}  // namespace ui
