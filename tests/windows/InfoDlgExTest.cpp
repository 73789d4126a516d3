#include "FormTest.h"
#include "ModalScript.h"
#include "shell/Substitution.h"
#include "toolkit/DpiScale.h"
#include "ui/InfoDlgEx.h"

#include <functional>
#include <utility>

namespace {

using namespace toolkit;
using ui::TdlgKVInfoEx;

void Press(TdlgKVInfoEx& dialog, const wchar_t* button) { Click(dialog.Get<TButton>(button)); }
void PressEsc(TdlgKVInfoEx&) { PostMessageW(GetFocus(), WM_KEYDOWN, VK_ESCAPE, 0); }
void PressCloseBox(TdlgKVInfoEx& dialog) { PostMessageW(dialog.Handle(), WM_SYSCOMMAND, SC_CLOSE, 0); }

class InfoDlgEx : public FormTest {
protected:
    void SetUp() override {
        FormTest::SetUp();
        shell::CreateSubstitutionList();
    }
    void TearDown() override {
        shell::FreeSubstitutionList();
        FormTest::TearDown();
    }
    static ui::TInfoAnswer Ask(bool allowCancel, std::function<void(TdlgKVInfoEx&)> action,
                               bool* dontShowAgain = nullptr) {
        ModalScript script;
        script.Then<TdlgKVInfoEx>(std::move(action));
        return ui::AskYesNoEx(nullptr, L"Store the account?", L"Question", allowCancel, dontShowAgain, 0);
    }
};

TEST_F(InfoDlgEx, EscAndTheCloseBoxAnswerNoUnlessCancelIsOffered) {
    EXPECT_EQ(ui::iaYes, Ask(false, [](TdlgKVInfoEx& dialog) { Press(dialog, L"btnYes"); }));
    EXPECT_EQ(ui::iaNo, Ask(false, PressEsc));
    EXPECT_EQ(ui::iaNo, Ask(false, PressCloseBox));
    EXPECT_EQ(ui::iaCancel, Ask(true, PressEsc));
    EXPECT_EQ(ui::iaCancel, Ask(true, PressCloseBox));
    EXPECT_TRUE(errors.empty());
}

// Enter, pressed on the focused default button, answers No.
TEST_F(InfoDlgEx, AQuestionThatDefaultsToNoFocusesNoAndEnterAnswersNo) {
    ModalScript script;
    script.Then<TdlgKVInfoEx>([](TdlgKVInfoEx& dialog) {
        EXPECT_EQ(&dialog.Get<TButton>(L"btnNo"), dialog.DefaultButton());
        EXPECT_EQ(dialog.Get<TButton>(L"btnNo").Handle(), GetFocus());
        PostMessageW(GetFocus(), WM_KEYDOWN, VK_RETURN, 0);
    });
    EXPECT_EQ(ui::iaNo, ui::AskNoByDefaultEx(nullptr, L"Undo the switch anyway?", L"Question", 0));
    EXPECT_TRUE(errors.empty());
}

TEST_F(InfoDlgEx, CheckBoxStateComesBackWhicheverButtonClosed) {
    const auto tickThen = [](const wchar_t* button) {
        return [button](TdlgKVInfoEx& dialog) {
            EXPECT_TRUE(dialog.Get<TCheckBox>(L"chkDontShow").Showing());
            dialog.Get<TCheckBox>(L"chkDontShow").SetChecked(true);
            Press(dialog, button);
        };
    };
    bool dontShowAgain = false;
    EXPECT_EQ(ui::iaNo, Ask(true, tickThen(L"btnNo"), &dontShowAgain));
    EXPECT_TRUE(dontShowAgain);
    dontShowAgain = false;
    EXPECT_EQ(ui::iaCancel, Ask(true, tickThen(L"btnCancel"), &dontShowAgain));
    EXPECT_TRUE(dontShowAgain);
    EXPECT_EQ(ui::iaYes, Ask(false, [](TdlgKVInfoEx& dialog) { Press(dialog, L"btnYes"); }, &dontShowAgain));
    EXPECT_FALSE(dontShowAgain) << "the box starts unticked";
}

TEST_F(InfoDlgEx, ErrorWithHelpOnAStayOnTopOwner) {
    TForm owner(nullptr);
    owner.SetFormStyle(TFormStyle::fsStayOnTop);
    owner.SetBounds(100, 100, 600, 400);
    owner.Show();
    int topic = 0;
    Application().OnHelpContext = [&topic](int context) { topic = context; };
    ModalScript script;
    script.Then<TdlgKVInfoEx>([&owner](TdlgKVInfoEx& dialog) {
        EXPECT_EQ(L"Error!", dialog.Caption());
        EXPECT_EQ(L"Gatewise could not <b>change</b> it.", dialog.Get<TControl>(L"lblText").Caption());
        EXPECT_EQ(IDI_HAND, dialog.Get<TImage>(L"imgIcon").SystemIcon());
        EXPECT_TRUE(GetWindowLongPtrW(dialog.Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
        EXPECT_NEAR(owner.Left() + owner.Width() / 2, dialog.Left() + dialog.Width() / 2, 2);
        EXPECT_TRUE(dialog.Get<TButton>(L"btnHelp").Visible());
        EXPECT_EQ(&dialog.Get<TButton>(L"btnOk"), dialog.DefaultButton());
        EXPECT_TRUE(dialog.Get<widgets::TKXLabel>(L"lblText").OnLinkClick) << "links open their targets";
        Press(dialog, L"btnHelp");
        PressEsc(dialog);
    });
    ui::ShowErrorEx(&owner, L"{APPNAME} could not <b>change</b> it.", L"", 10000);
    EXPECT_EQ(10000, topic);
    Application().OnHelpContext = nullptr;
    owner.Hide();
    EXPECT_TRUE(errors.empty());
}

TEST_F(InfoDlgEx, SizesItselfAgainAtAnotherResolution) {
    bool dontShowAgain = false;
    std::unique_ptr<TdlgKVInfoEx> dialog(CreateForm<TdlgKVInfoEx>(nullptr, L"Question", L"Store the account?", true,
                                                                  false, true, &dontShowAgain, 10020));
    const auto created = ControlBounds(*dialog);
    const SIZE client{dialog->ClientWidth(), dialog->ClientHeight()};
    for (int dpi : {144, 192}) {
        SCOPED_TRACE(dpi);
        MoveToDpi(*dialog, dpi);
        const TControl& text = dialog->Get<TControl>(L"lblText");
        const TControl& help = dialog->Get<TControl>(L"btnHelp");
        EXPECT_EQ(BoundsOf(dialog->Get<TImage>(L"imgIcon")), (Bounds{12, 12, ScaleToDpi(32, dpi), ScaleToDpi(32, dpi)}));
        EXPECT_EQ(help.Width(), ScaleToDpi(89, dpi));
        EXPECT_EQ(help.Left() + help.Width(), text.Left() + text.Width()) << "Help at the right edge of the text";
        EXPECT_EQ(dialog->ClientWidth(), text.Left() + text.Width() + 12);
        EXPECT_EQ(dialog->ClientHeight(), help.Top() + help.Height() + 12);
    }
    MoveToDpi(*dialog, 96);
    EXPECT_EQ(ControlBounds(*dialog), created);
    EXPECT_EQ(dialog->ClientWidth(), client.cx);
    EXPECT_EQ(dialog->ClientHeight(), client.cy);
    EXPECT_TRUE(errors.empty());
}

}  // namespace
