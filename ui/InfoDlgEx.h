#pragma once
// The program's message box: a message in markup (links allowed) beside a
// system icon, with OK or Yes and No, optionally Cancel and Help, and
// optionally a "Don't show this message again" check box whose state goes
// back to the caller. The dialog sizes itself to the message; message and
// caption may carry {APPNAME} tokens.

#include "shell/SubstFrm.h"
#include "toolkit/ExtCtrls.h"
#include "toolkit/StdCtrls.h"
#include "widgets/KXLabel.h"

#include <string>

namespace ui {

enum TInfoAnswer {
    iaYes = 0,     // OK or Yes
    iaNo = 1,      // No, or any other way of closing when Cancel is not offered
    iaCancel = 2,  // Cancel, Esc or the close box when Cancel is offered
};

class TdlgKVInfoEx : public shell::TSubstForm {
public:
    // A question shows Yes and No, anything else OK; an error shows the error
    // icon also when it is a question. A help context other than 0 shows Help;
    // `dontShowAgain` (may be null) shows the check box and receives its state
    // when the dialog closes.
    TdlgKVInfoEx(toolkit::TComponent* owner, const std::wstring& caption, const std::wstring& text, bool isQuestion,
                 bool isError, bool allowCancel, bool* dontShowAgain, int helpContext);

    void btnHelpClick(toolkit::TComponent* sender);
    // Opens the link's target, completed (see CompleteLinkTarget); the dialog stays open.
    void lblTextLinkClick(toolkit::TComponent* sender, widgets::THTMLRenderItem& item);
    // A question's No becomes the default button and takes the focus.
    void DefaultToNo();

protected:
    void DoHide() override;
    // Places the controls around the message, sized for the resolution.
    void ApplyRunTimeLayout() override;

private:
    void ShowButtons(bool isQuestion, bool allowCancel, bool help);
    void ArrangeControls();

    toolkit::TImage& imgIcon;
    widgets::TKXLabel& lblText;
    toolkit::TBevel& bvlDontShow;
    toolkit::TCheckBox& chkDontShow;
    toolkit::TButton& btnOk;
    toolkit::TButton& btnYes;
    toolkit::TButton& btnNo;
    toolkit::TButton& btnHelp;
    toolkit::TButton& btnCancel;
    bool* dontShowAgain_;
};

// Shows the message modally, centred on `owner` or, without one, on the
// screen, and gives the answer. Errors of creating or showing the dialog
// propagate.
TInfoAnswer ExecuteInfoEx(toolkit::TForm* owner, const std::wstring& text, const std::wstring& caption,
                          bool isQuestion, bool isError, bool allowCancel, bool* dontShowAgain, int helpContext);
// An error with OK; an empty caption becomes "Error!".
void ShowErrorEx(toolkit::TForm* owner, const std::wstring& text, const std::wstring& caption, int helpContext);
// Information with OK; an empty caption becomes the application's title.
void ShowInfoEx(toolkit::TForm* owner, const std::wstring& text, const std::wstring& caption, int helpContext);
// A question with Yes and No (and Cancel when allowed); an empty caption
// becomes the application's title.
TInfoAnswer AskYesNoEx(toolkit::TForm* owner, const std::wstring& text, const std::wstring& caption, bool allowCancel,
                       bool* dontShowAgain, int helpContext);
// A question with Yes and No where No has the focus and Enter answers No:
// for a change that the user should not make by pressing Enter.
TInfoAnswer AskNoByDefaultEx(toolkit::TForm* owner, const std::wstring& text, const std::wstring& caption,
                             int helpContext);

}  // namespace ui
