#include "FormTest.h"
#include "shell/Substitution.h"
#include "ui/InfoDlgEx.h"

#include <functional>

namespace {

using namespace toolkit;
using ui::TdlgKVInfoEx;

// Runs an action on the message dialog once it shows, from inside its modal
// loop. A dialog that the action leaves open fails the test and is closed.
class WhenShown {
public:
    explicit WhenShown(std::function<void(TdlgKVInfoEx&)> action) {
        State() = {std::move(action), 0};
        timer_ = SetTimer(nullptr, 0, 20, Tick);
    }
    ~WhenShown() { KillTimer(nullptr, timer_); }
    WhenShown(const WhenShown&) = delete;
    WhenShown& operator=(const WhenShown&) = delete;

private:
    struct Pending {
        std::function<void(TdlgKVInfoEx&)> action;
        int ticksSinceAction;
    };
    static Pending& State() {
        static Pending pending;
        return pending;
    }
    static BOOL CALLBACK FindDialog(HWND window, LPARAM found) {
        auto* dialog = dynamic_cast<TdlgKVInfoEx*>(TWinControl::FromHandle(window));
        if (dialog && IsWindowVisible(window)) *reinterpret_cast<TdlgKVInfoEx**>(found) = dialog;
        return TRUE;
    }
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        TdlgKVInfoEx* dialog = nullptr;
        EnumThreadWindows(GetCurrentThreadId(), FindDialog, reinterpret_cast<LPARAM>(&dialog));
        if (!dialog) return;
        Pending& state = State();
        if (state.action) {
            auto action = std::move(state.action);
            state.action = nullptr;
            action(*dialog);
        } else if (++state.ticksSinceAction == 100) {
            ADD_FAILURE() << "the dialog stayed open";
            dialog->SetModalResult(mrIgnore);
        }
    }

    UINT_PTR timer_;
};

void Press(TdlgKVInfoEx& dialog, const wchar_t* button) {
    PostMessageW(dialog.Get<TButton>(button).Handle(), BM_CLICK, 0, 0);
}
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
    static ui::TInfoAnswer Ask(bool allowCancel, void (*action)(TdlgKVInfoEx&), bool* dontShowAgain = nullptr) {
        WhenShown shown(action);
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

TEST_F(InfoDlgEx, CheckBoxStateComesBackWhicheverButtonClosed) {
    const auto tickThen = [](const wchar_t* button) {
        return [button](TdlgKVInfoEx& dialog) {
            EXPECT_TRUE(dialog.Get<TCheckBox>(L"chkDontShow").Visible());
            EXPECT_TRUE(dialog.Get<TBevel>(L"bvlDontShow").Visible());
            dialog.Get<TCheckBox>(L"chkDontShow").SetChecked(true);
            Press(dialog, button);
        };
    };
    bool dontShowAgain = false;
    {
        WhenShown no(tickThen(L"btnNo"));
        EXPECT_EQ(ui::iaNo, ui::AskYesNoEx(nullptr, L"Again?", L"Question", true, &dontShowAgain, 0));
        EXPECT_TRUE(dontShowAgain);
    }
    dontShowAgain = false;
    {
        WhenShown cancel(tickThen(L"btnCancel"));
        EXPECT_EQ(ui::iaCancel, ui::AskYesNoEx(nullptr, L"Again?", L"Question", true, &dontShowAgain, 0));
        EXPECT_TRUE(dontShowAgain);
    }

    dontShowAgain = true;
    EXPECT_EQ(ui::iaYes, Ask(false, [](TdlgKVInfoEx& dialog) { Press(dialog, L"btnYes"); }, &dontShowAgain));
    EXPECT_FALSE(dontShowAgain) << "the box starts unticked";
}

TEST_F(InfoDlgEx, QuestionShowsYesAndNoFromTheRightUnderTheText) {
    WhenShown shown([](TdlgKVInfoEx& dialog) {
        const TControl& text = dialog.Get<TControl>(L"lblText");
        const int m = dialog.PixelsPerInch() <= 100 ? 8 : 12;
        EXPECT_EQ(LoadIconW(nullptr, IDI_QUESTION), dialog.Get<TImage>(L"imgIcon").Icon());
        EXPECT_EQ(L"Question about Gatewise", dialog.Caption());
        EXPECT_EQ(L"Does Gatewise know <b>you</b>?", text.Caption());
        EXPECT_GE(text.Height(), 6 * m);
        const TButton& no = dialog.Get<TButton>(L"btnNo");
        const TButton& yes = dialog.Get<TButton>(L"btnYes");
        EXPECT_EQ(text.Left() + text.Width(), no.Left() + no.Width());
        EXPECT_EQ(no.Left() - no.Width() - m, yes.Left());
        EXPECT_EQ(text.Top() + text.Height() + 2 * m, no.Top());
        EXPECT_EQ(no.Top() + no.Height() + m, dialog.ClientHeight());
        EXPECT_EQ(text.Left() + text.Width() + m, dialog.ClientWidth());
        EXPECT_FALSE(dialog.Get<TButton>(L"btnOk").Visible());
        EXPECT_FALSE(dialog.Get<TButton>(L"btnHelp").Visible());
        EXPECT_FALSE(dialog.Get<TCheckBox>(L"chkDontShow").Visible());
        EXPECT_EQ(&yes, dialog.DefaultButton());
        EXPECT_TRUE(dialog.Get<widgets::TKXLabel>(L"lblText").OnLinkClick) << "links open their targets";
        Press(dialog, L"btnNo");
    });
    EXPECT_EQ(ui::iaNo, ui::AskYesNoEx(nullptr, L"Does {APPNAME} know <b>you</b>?", L"Question about {APPNAME}",
                                       false, nullptr, 0));
}

TEST_F(InfoDlgEx, ErrorWithHelpOnAStayOnTopOwner) {
    TForm owner(nullptr);
    owner.SetFormStyle(TFormStyle::fsStayOnTop);
    owner.SetBounds(100, 100, 600, 400);
    owner.Show();
    int topic = 0;
    Application().OnHelpContext = [&topic](int context) { topic = context; };
    WhenShown shown([&owner](TdlgKVInfoEx& dialog) {
        EXPECT_EQ(L"Error!", dialog.Caption());
        EXPECT_EQ(LoadIconW(nullptr, IDI_HAND), dialog.Get<TImage>(L"imgIcon").Icon());
        EXPECT_TRUE(GetWindowLongPtrW(dialog.Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
        EXPECT_NEAR(owner.Left() + owner.Width() / 2, dialog.Left() + dialog.Width() / 2, 2);
        const TButton& help = dialog.Get<TButton>(L"btnHelp");
        const TButton& ok = dialog.Get<TButton>(L"btnOk");
        EXPECT_EQ(help.Left() - help.Width() - (dialog.PixelsPerInch() <= 100 ? 8 : 12), ok.Left());
        EXPECT_EQ(help.Top(), ok.Top());
        EXPECT_FALSE(dialog.Get<TButton>(L"btnYes").Visible());
        Press(dialog, L"btnHelp");
        PressEsc(dialog);
    });
    ui::ShowErrorEx(&owner, L"Mode not changed.", L"", 10000);
    EXPECT_EQ(10000, topic);
    Application().OnHelpContext = nullptr;
    owner.Hide();
    EXPECT_TRUE(errors.empty());
}

TEST_F(InfoDlgEx, MessageWithoutOwnerIsCentredOnTheScreenAndEscAnswersOk) {
    WhenShown shown([](TdlgKVInfoEx& dialog) {
        EXPECT_EQ(LoadIconW(nullptr, IDI_ASTERISK), dialog.Get<TImage>(L"imgIcon").Icon());
        EXPECT_EQ(poScreenCenter, dialog.Position);
        const TControl& text = dialog.Get<TControl>(L"lblText");
        const TButton& ok = dialog.Get<TButton>(L"btnOk");
        EXPECT_EQ(text.Left() + text.Width(), ok.Left() + ok.Width());
        PressEsc(dialog);
    });
    EXPECT_EQ(ui::iaYes, ui::ExecuteInfoEx(nullptr, L"Mode changed.", L"Mode Changed", false, false, false, nullptr, 0));
}

}  // namespace
