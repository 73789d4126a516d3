#include "ErrorMessage.h"
#include "FormTest.h"
#include "os/WinApi.h"
#include "os/sim/SimMachine.h"
#include "shell/SubstFrm.h"
#include "shell/Substitution.h"
#include "toolkit/Label.h"
#include "toolkit/Menu.h"
#include "toolkit/StdCtrls.h"

#include <stdexcept>

namespace {

using namespace toolkit;

const char* const kDialogLayout = R"(object dlgTest: form
  Caption = "About {APPNAME}"
  BorderStyle = dialog
  Position = ownerFormCenter
  ClientSize = 200 100
  Font.Name = "Segoe UI"
  Font.Height = -12
  OnShow = DialogShown
  object lblName: label
    Bounds = 8 8 100 15
    Caption = "{appname} Options"
    Hint = "Hint for {APPNAME}"
  end
  object lblSymbol: label
    Bounds = 8 30 100 15
    Caption = "{APPNAME}"
    Font.Name = "Wingdings"
  end
  object lblLarge: label
    Bounds = 8 50 100 15
    Caption = "Large"
    Font.Height = -16
  end
  object edtName: edit
    Bounds = 8 70 100 21
    Text = "{APPNAME}"
  end
  object btnOk: button
    Bounds = 120 70 70 25
    Caption = "OK"
    ModalResult = 1
  end
  object mnuMain: mainmenu
    object mnuAbout: menuitem
      Caption = "&About {APPNAME}"
    end
  end
end
)";

// What the next dialog does when it is shown.
enum class ShowAction { None, PressOk, Close };
ShowAction showAction = ShowAction::None;
int dialogsShown = 0;

class TdlgTest : public shell::TSubstForm {
public:
    explicit TdlgTest(TComponent* owner, const char* layout = kDialogLayout) : TSubstForm(owner, layout, "dialog") {
        RegisterHandler("DialogShown", &TdlgTest::DialogShown);
    }
    void DialogShown(TComponent*) {
        ++dialogsShown;
        if (showAction == ShowAction::PressOk)
            PostMessageW(Get<TButton>(L"btnOk").Handle(), BM_CLICK, 0, 0);
        else if (showAction == ShowAction::Close)
            PostMessageW(Handle(), WM_CLOSE, 0, 0);
    }
};

class TdlgRefusing : public TdlgTest {
public:
    explicit TdlgRefusing(TComponent* owner) : TdlgTest(owner) { Tag = shell::kRefuseToShowTag; }
};

class TdlgFailing : public TdlgTest {
public:
    explicit TdlgFailing(TComponent* owner) : TdlgTest(owner) { throw std::runtime_error("cannot create"); }
};

class TdlgFailingCreate : public TdlgTest {
public:
    explicit TdlgFailingCreate(TComponent* owner) : TdlgTest(owner) {
        OnCreate = [](TComponent*) { throw engine::Exception("creation handler failed"); };
    }
};

// Shown before the modal show, which therefore fails.
class TdlgShownEarly : public TdlgTest {
public:
    explicit TdlgShownEarly(TComponent* owner) : TdlgTest(owner) { Show(); }
};

class TdlgBadLayout : public TdlgTest {
public:
    explicit TdlgBadLayout(TComponent* owner) : TdlgTest(owner, "object dlgTest: form\n  Tag = x\nend\n") {}
};

class SubstForm : public FormTest {
protected:
    void SetUp() override {
        FormTest::SetUp();
        shell::CreateSubstitutionList();
        showAction = ShowAction::None;
        dialogsShown = 0;
    }
    void TearDown() override {
        shell::FreeSubstitutionList();
        FormTest::TearDown();
    }

    os::sim::SimMachine machine;
    os::ScopedMachine scope{machine};
};

TEST_F(SubstForm, CaptionsTextsAndHintsAreSubstitutedMenuItemsAreNot) {
    std::unique_ptr<TdlgTest> dialog(CreateForm<TdlgTest>(nullptr));
    EXPECT_EQ(dialog->Caption(), L"About Gatewise");
    EXPECT_EQ(dialog->Get<TLabel>(L"lblName").Caption(), L"Gatewise Options");
    EXPECT_EQ(dialog->Get<TLabel>(L"lblName").Hint, L"Hint for Gatewise");
    EXPECT_EQ(dialog->Get<TEdit>(L"edtName").Text(), L"Gatewise");
    EXPECT_EQ(dialog->Get<TMenuItem>(L"mnuAbout").Caption(), L"&About {APPNAME}");
}

TEST_F(SubstForm, WithoutTheTableTextsKeepTheirTokens) {
    shell::FreeSubstitutionList();
    std::unique_ptr<TdlgTest> dialog(CreateForm<TdlgTest>(nullptr));
    EXPECT_EQ(dialog->Caption(), L"About {APPNAME}");
    EXPECT_EQ(dialog->Get<TLabel>(L"lblName").Caption(), L"{appname} Options");
}

// The modern face on Windows 5 is Tahoma; where Tahoma is not installed (as
// under Wine without its fonts) the form keeps the default face instead.
TEST_F(SubstForm, WindowsFiveUsesTahomaAtEightPoints) {
    machine.majorVersion = 5;
    bool tahoma = shell::FontExists(L"Tahoma");
    std::wstring face = tahoma ? L"Tahoma" : DefaultFont().name;
    std::unique_ptr<TdlgTest> dialog(CreateForm<TdlgTest>(nullptr));
    EXPECT_EQ(dialog->ModernFont(), tahoma);
    EXPECT_EQ(dialog->Font().Name(), face);
    EXPECT_EQ(dialog->Font().Charset(), DefaultFont().charset);
    TLabel& name = dialog->Get<TLabel>(L"lblName");
    EXPECT_EQ(name.Font().Name(), face);
    EXPECT_EQ(name.Font().Size(), face == L"Tahoma" ? 8 : 9);  // Segoe UI at 9 points became Tahoma at 8
    EXPECT_EQ(dialog->Get<TLabel>(L"lblSymbol").Font().Name(), L"Wingdings");
    TLabel& large = dialog->Get<TLabel>(L"lblLarge");
    EXPECT_EQ(large.Font().Name(), face);
    EXPECT_EQ(large.Font().Height(), -16);  // sizes other than 8 and 9 points stay
}

TEST_F(SubstForm, NewerWindowsUsesSegoeUiWhereItExists) {
    machine.majorVersion = 10;
    std::unique_ptr<TdlgTest> dialog(CreateForm<TdlgTest>(nullptr));
    if (shell::FontExists(L"Segoe UI")) {
        EXPECT_EQ(dialog->Font().Name(), L"Segoe UI");
        EXPECT_EQ(dialog->Font().Size(), 9);
        EXPECT_EQ(dialog->Get<TLabel>(L"lblName").Font().Size(), 9);
    } else if (shell::FontExists(L"Tahoma")) {
        EXPECT_EQ(dialog->Font().Name(), L"Tahoma");
        EXPECT_EQ(dialog->Font().Size(), 8);
    } else {
        EXPECT_FALSE(dialog->ModernFont());
        EXPECT_EQ(dialog->Font().Name(), DefaultFont().name);
    }
    dialog->SetModernFont(false);
    EXPECT_FALSE(dialog->ModernFont());
    EXPECT_EQ(dialog->Font().Name(), DefaultFont().name);
}

int CALLBACK NoteFirstFace(const LOGFONTW* font, const TEXTMETRICW*, DWORD, LPARAM face) {
    *reinterpret_cast<std::wstring*>(face) = font->lfFaceName;
    return 0;
}

TEST_F(SubstForm, FontExistsByEnumeration) {
    std::wstring installed;
    HDC screen = GetDC(nullptr);
    EnumFontFamiliesW(screen, nullptr, NoteFirstFace, reinterpret_cast<LPARAM>(&installed));
    ReleaseDC(nullptr, screen);
    ASSERT_FALSE(installed.empty());
    EXPECT_TRUE(shell::FontExists(installed));
    EXPECT_FALSE(shell::FontExists(L"No Such Face 1234"));
}

TEST_F(SubstForm, DialogOfAHiddenOwnerIsCentredOnTheScreen) {
    TForm owner(nullptr);
    owner.SetBounds(0, 0, 300, 200);
    std::unique_ptr<TdlgTest> hidden(CreateForm<TdlgTest>(&owner));
    EXPECT_EQ(hidden->Position, poScreenCenter);

    owner.Show();
    std::unique_ptr<TdlgTest> shown(CreateForm<TdlgTest>(&owner));
    EXPECT_EQ(shown->Position, poOwnerFormCenter);
    shown->Show();
    RECT ownerRect{}, dialogRect{};
    GetWindowRect(owner.Handle(), &ownerRect);
    GetWindowRect(shown->Handle(), &dialogRect);
    EXPECT_NEAR((dialogRect.left + dialogRect.right) / 2, (ownerRect.left + ownerRect.right) / 2, 2);
    shown->Hide();
}

TEST_F(SubstForm, ExecuteModalReturnsTheModalResult) {
    showAction = ShowAction::PressOk;
    EXPECT_EQ(shell::ExecuteModal<TdlgTest>(nullptr), mrOk);
    EXPECT_TRUE(shell::Execute<TdlgTest>(nullptr));
    showAction = ShowAction::Close;
    EXPECT_EQ(shell::ExecuteModal<TdlgTest>(nullptr), mrCancel);
    EXPECT_FALSE(shell::Execute<TdlgTest>(nullptr));
    EXPECT_EQ(dialogsShown, 4);
    EXPECT_EQ(Application().ScreenCursor(), crDefault);
}

TEST_F(SubstForm, ExecuteModalGivesAbortForEveryFailureWithoutAMessage) {
    showAction = ShowAction::PressOk;
    EXPECT_EQ(shell::ExecuteModal<TdlgFailing>(nullptr), mrAbort);
    EXPECT_EQ(Application().ScreenCursor(), crDefault);
    EXPECT_FALSE(shell::Execute<TdlgFailing>(nullptr));
    EXPECT_EQ(shell::ExecuteModal<TdlgBadLayout>(nullptr), mrAbort);
    EXPECT_EQ(shell::ExecuteModal<TdlgFailingCreate>(nullptr), mrAbort);
    EXPECT_EQ(shell::ExecuteModal<TdlgRefusing>(nullptr), mrAbort);
    EXPECT_EQ(dialogsShown, 0);
    EXPECT_TRUE(errors.empty());
}

TEST_F(SubstForm, ExecuteModalOrRaiseLetsCreationAndShowErrorsThrough) {
    showAction = ShowAction::PressOk;
    EXPECT_EQ(MessageOf([] { shell::ExecuteModalOrRaise<TdlgFailingCreate>(nullptr); }), "creation handler failed");
    EXPECT_EQ(Application().ScreenCursor(), crDefault);
    EXPECT_EQ(MessageOf([] { shell::ExecuteModalOrRaise<TdlgShownEarly>(nullptr); }),
              "Cannot make a visible window modal");
    EXPECT_EQ(shell::ExecuteModalOrRaise<TdlgRefusing>(nullptr), mrAbort);
    EXPECT_EQ(shell::ExecuteModalOrRaise<TdlgTest>(nullptr), mrOk);
    EXPECT_EQ(dialogsShown, 1);
    EXPECT_TRUE(errors.empty());
}

bool TopMost(const TForm& form) { return GetWindowLongPtrW(form.Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST; }

void ClearTopMost(const TForm& form) {
    SetWindowPos(form.Handle(), HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

// The application loses the focus once, the forms taken off the top first:
// the chain calls the application's own handler exactly once.
void DeactivateOnce(const int& original, std::initializer_list<const TForm*> forms) {
    for (const TForm* form : forms) ClearTopMost(*form);
    const int before = original;
    Application().OnDeactivate(nullptr);
    EXPECT_EQ(original, before + 1);
}

// The real activation changes while windows are shown and hidden run the
// handler too, so the counts are compared around each explicit call.
TEST_F(SubstForm, AlwaysOnTopHandlersChainAndAreGivenBack) {
    int original = 0;
    Application().OnDeactivate = [&](TComponent*) { ++original; };
    std::unique_ptr<TdlgTest> first(CreateForm<TdlgTest>(nullptr));
    std::unique_ptr<TdlgTest> second(CreateForm<TdlgTest>(nullptr));
    first->AlwaysTopMost = true;
    second->AlwaysTopMost = true;
    first->Show();
    second->Show();
    Pump();
    DeactivateOnce(original, {first.get(), second.get()});
    Pump();
    EXPECT_TRUE(TopMost(*first));
    EXPECT_TRUE(TopMost(*second));

    second->Hide();
    first->Hide();
    Pump();
    DeactivateOnce(original, {first.get(), second.get()});
    Pump();
    EXPECT_FALSE(TopMost(*first));
    EXPECT_FALSE(TopMost(*second));
    Application().OnDeactivate = nullptr;
}

// Hidden out of order, and gone: the form shown later keeps its place on top,
// the chain never calls into the freed form, and the application gets its
// own handler back in the end.
TEST_F(SubstForm, AlwaysOnTopFormThatGoesAwayOutOfOrderLeavesTheChain) {
    int original = 0;
    Application().OnDeactivate = [&](TComponent*) { ++original; };
    std::unique_ptr<TdlgTest> first(CreateForm<TdlgTest>(nullptr));
    std::unique_ptr<TdlgTest> second(CreateForm<TdlgTest>(nullptr));
    std::unique_ptr<TdlgTest> third(CreateForm<TdlgTest>(nullptr));
    for (TdlgTest* form : {first.get(), second.get(), third.get()}) {
        form->AlwaysTopMost = true;
        form->Show();
    }
    first->Hide();
    first.reset();
    second.reset();  // destroyed while shown
    Pump();
    DeactivateOnce(original, {third.get()});
    Pump();
    EXPECT_TRUE(TopMost(*third));

    third->Hide();
    Pump();
    DeactivateOnce(original, {third.get()});
    Pump();
    EXPECT_FALSE(TopMost(*third));
    Application().OnDeactivate = nullptr;
}

TEST_F(SubstForm, FormNotAlwaysOnTopLeavesTheHandlerAlone) {
    int original = 0;
    Application().OnDeactivate = [&](TComponent*) { ++original; };
    std::unique_ptr<TdlgTest> dialog(CreateForm<TdlgTest>(nullptr));
    dialog->Show();
    Pump();
    DeactivateOnce(original, {dialog.get()});
    Pump();
    EXPECT_FALSE(TopMost(*dialog));
    dialog->Hide();
    Application().OnDeactivate = nullptr;
}

}  // namespace
