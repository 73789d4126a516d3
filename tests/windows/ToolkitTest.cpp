#include "FormTest.h"
#include "toolkit/ExtCtrls.h"
#include "toolkit/Label.h"
#include "toolkit/LayoutReader.h"
#include "toolkit/Menu.h"
#include "toolkit/StdCtrls.h"

#include <commctrl.h>

#include <algorithm>
#include <stdexcept>

namespace {

using namespace toolkit;

const char* const kLayout = R"(object frmTest: form
  Caption = "Test window"
  BorderStyle = single
  BorderIcons = [systemMenu]
  ClientSize = 300 200
  Menu = mnuMain
  object pnlBox: panel
    Bounds = 0 0 300 100
    Color = #FFFFFF
    object lblTitle: label
      Bounds = 10 10 50 15
      Caption = "Title"
      Hint = "the title"
      Cursor = crHandPoint
      OnClick = Clicked
      OnMouseEnter = Entered
      OnMouseLeave = Left
    end
  end
  object btnOk: button
    Bounds = 100 150 80 25
    Caption = "OK"
    Default = true
    ModalResult = 1
    TabOrder = 1
  end
  object btnCancel: button
    Bounds = 200 150 80 25
    Caption = "Cancel"
    Cancel = true
    ModalResult = 2
    TabOrder = 0
  end
  object chkOption: checkbox
    Bounds = 10 110 150 17
    Caption = "Option"
    OnClick = Clicked
  end
  object edtName: edit
    Bounds = 10 130 150 21
    Text = "start"
    OnChange = Changed
  end
  object tmrTick: timer
    Interval = 10
    Enabled = false
    OnTimer = Ticked
  end
  object mnuMain: mainmenu
    object mnuFile: menuitem
      Caption = "&File"
      object mnuFileRun: menuitem
        Caption = "&Run"
        ShortCut = "F5"
        OnClick = Clicked
      end
      object mnuFileOff: menuitem
        Caption = "&Off"
        Enabled = false
      end
    end
  end
end
)";

class Toolkit : public FormTest {
protected:
    void SetUp() override {
        FormTest::SetUp();
        form = std::make_unique<TForm>(nullptr);
        form->LoadLayout(kLayout, "test layout");
        form->RegisterHandler("Clicked", TNotifyEvent([this](TComponent* sender) { clicked.push_back(sender); }));
        form->RegisterHandler("Entered", TNotifyEvent([this](TComponent* sender) { entered.push_back(sender); }));
        form->RegisterHandler("Left", TNotifyEvent([this](TComponent* sender) { left.push_back(sender); }));
        form->RegisterHandler("Changed", TNotifyEvent([this](TComponent*) { ++changes; }));
        form->RegisterHandler("Ticked", TNotifyEvent([this](TComponent*) { ++ticks; }));
        form->AfterConstruction();
    }
    void TearDown() override {
        form.reset();
        FormTest::TearDown();
    }

    template <typename T>
    T& Get(const wchar_t* name) {
        return form->Get<T>(name);
    }

    std::unique_ptr<TForm> form;
    std::vector<TComponent*> clicked;
    std::vector<TComponent*> entered;
    std::vector<TComponent*> left;
    int changes = 0;
    int ticks = 0;
};

std::wstring WindowText(HWND window) {
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    return text;
}

TEST_F(Toolkit, LayoutBuildsNamedControlsWithTheirProperties) {
    EXPECT_EQ(form->Name, L"frmTest");
    EXPECT_EQ(WindowText(form->Handle()), L"Test window");
    EXPECT_EQ(form->ClientWidth(), 300);
    EXPECT_EQ(form->ClientHeight(), 200);
    EXPECT_FALSE(GetWindowLongPtrW(form->Handle(), GWL_STYLE) & WS_MAXIMIZEBOX);

    TLabel& title = Get<TLabel>(L"lblTitle");
    EXPECT_EQ(title.Parent(), &Get<TPanel>(L"pnlBox"));
    EXPECT_EQ(title.Caption(), L"Title");
    EXPECT_EQ(title.Hint, L"the title");
    EXPECT_EQ(title.Cursor, crHandPoint);
    EXPECT_EQ(title.Left(), 10);
    EXPECT_GT(title.Width(), 0);  // auto-sized to its text
    EXPECT_EQ(title.EffectiveColor(), RGB(255, 255, 255));

    TButton& ok = Get<TButton>(L"btnOk");
    EXPECT_EQ(WindowText(ok.Handle()), L"OK");
    EXPECT_EQ(form->DefaultButton(), &ok);
    EXPECT_EQ(form->CancelButton(), &Get<TButton>(L"btnCancel"));
    EXPECT_EQ(Get<TEdit>(L"edtName").Text(), L"start");
    // Tab order is the z-order of the child windows.
    EXPECT_EQ(form->TabList().front(), &Get<TButton>(L"btnCancel"));
    EXPECT_THROW(Get<TButton>(L"lblTitle"), engine::Exception);
}

TEST_F(Toolkit, TextVisibilityAndEnablingReachTheWindows) {
    TButton& ok = Get<TButton>(L"btnOk");
    ok.SetCaption(L"&Go");
    EXPECT_EQ(WindowText(ok.Handle()), L"&Go");
    EXPECT_EQ(ok.Caption(), L"&Go");
    form->Show();
    EXPECT_TRUE(IsWindowVisible(ok.Handle()));
    ok.SetVisible(false);
    EXPECT_FALSE(IsWindowVisible(ok.Handle()));
    ok.SetEnabled(false);
    EXPECT_FALSE(IsWindowEnabled(ok.Handle()));
    ok.SetEnabled(true);
    EXPECT_TRUE(IsWindowEnabled(ok.Handle()));

    TEdit& name = Get<TEdit>(L"edtName");
    SetWindowTextW(name.Handle(), L"typed");
    EXPECT_EQ(name.Text(), L"typed");
    EXPECT_GE(changes, 1);
    form->Hide();
    EXPECT_FALSE(IsWindowVisible(form->Handle()));
}

TEST_F(Toolkit, ButtonsCheckBoxesAndEditsRaiseTheirEvents) {
    TCheckBox& option = Get<TCheckBox>(L"chkOption");
    SendMessageW(option.Handle(), BM_CLICK, 0, 0);
    EXPECT_TRUE(option.Checked());
    ASSERT_EQ(clicked.size(), 1u);
    EXPECT_EQ(clicked[0], &option);
    option.SetChecked(true);  // no change: no event
    EXPECT_EQ(clicked.size(), 1u);
    option.SetChecked(false);
    EXPECT_FALSE(option.Checked());
    EXPECT_EQ(clicked.size(), 2u);

    int before = changes;
    Get<TEdit>(L"edtName").SetText(L"other");
    EXPECT_GT(changes, before);

    TButton& ok = Get<TButton>(L"btnOk");
    int okClicks = 0;
    ok.OnClick = [&](TComponent*) { ++okClicks; };
    SendMessageW(ok.Handle(), BM_CLICK, 0, 0);
    EXPECT_EQ(okClicks, 1);
    EXPECT_EQ(form->ModalResult(), mrOk);
}

TEST_F(Toolkit, PaintedControlsGetHoverAndClickFromTheirParent) {
    TPanel& box = Get<TPanel>(L"pnlBox");
    TLabel& title = Get<TLabel>(L"lblTitle");
    LPARAM inside = MAKELPARAM(title.Left() + 2, title.Top() + 2);
    SendMessageW(box.Handle(), WM_MOUSEMOVE, 0, inside);
    ASSERT_EQ(entered.size(), 1u);
    EXPECT_EQ(entered[0], &title);
    SendMessageW(box.Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(250, 80));
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0], &title);

    SendMessageW(box.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, inside);
    SendMessageW(box.Handle(), WM_LBUTTONUP, 0, inside);
    ASSERT_EQ(clicked.size(), 1u);
    EXPECT_EQ(clicked[0], &title);
    // Pressed on the label, released elsewhere: no click.
    SendMessageW(box.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, inside);
    SendMessageW(box.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(250, 80));
    EXPECT_EQ(clicked.size(), 1u);
    // A hidden label takes no events.
    title.SetVisible(false);
    SendMessageW(box.Handle(), WM_MOUSEMOVE, 0, inside);
    EXPECT_EQ(entered.size(), 1u);
}

TEST_F(Toolkit, ModalFormEndsWithTheResultOfItsButtonOrTheCloseBox) {
    PostMessageW(Get<TButton>(L"btnOk").Handle(), BM_CLICK, 0, 0);
    EXPECT_EQ(form->ShowModal(), mrOk);
    EXPECT_FALSE(IsWindowVisible(form->Handle()));

    PostMessageW(form->Handle(), WM_CLOSE, 0, 0);
    EXPECT_EQ(form->ShowModal(), mrCancel);

    // Enter and Esc press the default and cancel buttons.
    PostMessageW(form->Handle(), WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(form->ShowModal(), mrCancel);
    PostMessageW(form->Handle(), WM_COMMAND, IDOK, 0);
    EXPECT_EQ(form->ShowModal(), mrOk);

    // A disabled default button ignores Enter.
    Get<TButton>(L"btnOk").SetEnabled(false);
    PostMessageW(form->Handle(), WM_COMMAND, IDOK, 0);
    PostMessageW(form->Handle(), WM_CLOSE, 0, 0);
    EXPECT_EQ(form->ShowModal(), mrCancel);
}

TEST_F(Toolkit, ModalFormDisablesTheOtherWindowsMeanwhile) {
    TForm other(nullptr);
    other.Show();
    bool otherEnabledDuringModal = true;
    Get<TButton>(L"btnOk").OnClick = [&](TComponent*) { otherEnabledDuringModal = IsWindowEnabled(other.Handle()); };
    PostMessageW(Get<TButton>(L"btnOk").Handle(), BM_CLICK, 0, 0);
    EXPECT_EQ(form->ShowModal(), mrOk);
    EXPECT_FALSE(otherEnabledDuringModal);
    EXPECT_TRUE(IsWindowEnabled(other.Handle()));
}

TEST_F(Toolkit, ThrowingHandlerGoesToTheErrorDisplayNotThroughTheWindowProcedure) {
    TButton& ok = Get<TButton>(L"btnOk");
    ok.OnClick = [](TComponent*) { throw std::runtime_error("handler failed"); };
    SendMessageW(ok.Handle(), BM_CLICK, 0, 0);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], "handler failed");

    Get<TLabel>(L"lblTitle").OnMouseEnter = [](TComponent*) { throw engine::Exception("hover failed"); };
    TLabel& title = Get<TLabel>(L"lblTitle");
    SendMessageW(Get<TPanel>(L"pnlBox").Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(title.Left() + 1, title.Top() + 1));
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(errors[1], "hover failed");
}

TEST_F(Toolkit, MenuItemsShowCaptionsShortcutsAndStateAndRunTheirCommand) {
    HMENU bar = GetMenu(form->Handle());
    ASSERT_NE(bar, nullptr);
    wchar_t text[64] = {};
    GetMenuStringW(bar, 0, text, 64, MF_BYPOSITION);
    EXPECT_STREQ(text, L"&File");
    HMENU file = GetSubMenu(bar, 0);
    GetMenuStringW(file, 0, text, 64, MF_BYPOSITION);
    EXPECT_STREQ(text, L"&Run\tF5");
    EXPECT_TRUE(GetMenuState(file, 1, MF_BYPOSITION) & MF_GRAYED);

    TMenuItem& run = Get<TMenuItem>(L"mnuFileRun");
    EXPECT_TRUE(form->Menu()->DispatchShortCut(toolkit::ParseShortCut("F5")));
    ASSERT_EQ(clicked.size(), 1u);
    EXPECT_EQ(clicked[0], &run);
    EXPECT_FALSE(form->Menu()->DispatchShortCut(toolkit::ParseShortCut("F6")));

    SendMessageW(form->Handle(), WM_COMMAND, GetMenuItemID(file, 0), 0);
    EXPECT_EQ(clicked.size(), 2u);

    run.SetEnabled(false);
    run.SetCaption(L"&Go");
    // Changed in place, without setting a new bar.
    ASSERT_EQ(GetMenu(form->Handle()), bar);
    EXPECT_TRUE(GetMenuState(file, 0, MF_BYPOSITION) & MF_GRAYED);
    GetMenuStringW(file, 0, text, 64, MF_BYPOSITION);
    EXPECT_STREQ(text, L"&Go\tF5");
    EXPECT_FALSE(form->Menu()->DispatchShortCut(toolkit::ParseShortCut("F5")));
    EXPECT_EQ(clicked.size(), 2u);

    // Behind a hidden item, an item is found at its shown position.
    run.SetVisible(false);
    Get<TMenuItem>(L"mnuFileOff").SetEnabled(true);
    file = GetSubMenu(GetMenu(form->Handle()), 0);
    ASSERT_EQ(GetMenuItemCount(file), 1);
    EXPECT_FALSE(GetMenuState(file, 0, MF_BYPOSITION) & MF_GRAYED);

    // Changing the bar keeps the client area at its size.
    EXPECT_EQ(form->ClientHeight(), 200);
}

TEST_F(Toolkit, TimerTicksWhileEnabled) {
    TTimer& timer = Get<TTimer>(L"tmrTick");
    timer.SetEnabled(true);
    for (int i = 0; i < 50 && ticks < 2; ++i) {
        Sleep(10);
        Application().ProcessMessages();
    }
    EXPECT_GE(ticks, 2);
    timer.SetEnabled(false);
    Application().ProcessMessages();
    int stopped = ticks;
    Sleep(40);
    Application().ProcessMessages();
    EXPECT_EQ(ticks, stopped);
}

TEST_F(Toolkit, ReleasedFormIsDestroyedOnceTheMessageIsHandled) {
    TForm* released = new TForm(nullptr);
    bool destroyed = false;
    released->OnDestroy = [&](TComponent*) { destroyed = true; };
    released->Release();
    EXPECT_TRUE(TForm::Exists(released));
    EXPECT_FALSE(destroyed);
    Application().ProcessMessages();
    EXPECT_TRUE(destroyed);
    EXPECT_FALSE(TForm::Exists(released));
}

TEST_F(Toolkit, LabelsSizeThemselvesToTheirText) {
    TLabel& title = Get<TLabel>(L"lblTitle");
    int shortWidth = title.Width();
    title.SetCaption(L"A much longer title than before");
    EXPECT_GT(title.Width(), shortWidth);
    int oneLine = title.Height();
    title.SetAutoSize(false);
    title.SetWidth(60);
    title.SetWordWrap(true);
    title.SetAutoSize(true);
    EXPECT_EQ(title.Width(), 60);
    EXPECT_GT(title.Height(), oneLine);
}

TEST_F(Toolkit, LabelsSizeThemselvesAgainWhenTheirFontChanges) {
    TLabel& title = Get<TLabel>(L"lblTitle");
    title.SetCaption(L"http://www.example.com/gatewise");
    const int width = title.Width();
    const int height = title.Height();
    title.Font().SetSize(24);
    EXPECT_GT(title.Width(), width);
    EXPECT_GT(title.Height(), height);
}

// Wine spaces small monochrome glyphs otherwise than it measures them; a label
// draws at the advances it measured, so its text ends where its width does.
TEST_F(Toolkit, LabelsPaintTheirTextWithinTheWidthTheyMeasured) {
    TLabel& title = Get<TLabel>(L"lblTitle");
    title.Font().SetName(L"Arial");
    title.Font().SetHeight(-11);
    title.SetCaption(L"https://www.www.wwww.example/");
    const int measured = title.Width();
    title.SetAutoSize(false);
    title.SetWidth(measured + 100);

    const RECT bounds = title.BoundsRect();
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = bounds.right;
    info.bmiHeader.biHeight = -bounds.bottom;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    DWORD* pixels = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&pixels), nullptr, 0);
    HGDIOBJ previous = SelectObject(dc, bitmap);
    PatBlt(dc, 0, 0, bounds.right, bounds.bottom, WHITENESS);
    title.Paint(dc);
    GdiFlush();
    LONG inkEnd = 0;
    for (LONG y = bounds.top; y < bounds.bottom; ++y)
        for (LONG x = bounds.left; x < bounds.right; ++x)
            if ((pixels[y * bounds.right + x] & 0xFFFFFF) != 0xFFFFFF) inkEnd = std::max(inkEnd, x + 1);
    SelectObject(dc, previous);
    DeleteObject(bitmap);
    DeleteDC(dc);
    EXPECT_LE(inkEnd, bounds.left + measured);
    EXPECT_GE(inkEnd, bounds.left + measured - 2);
}

// Errors in a layout name the layout and the line, and creation fails.
TEST_F(Toolkit, BadLayoutsFailWithTheirPlace) {
    auto messageOf = [](const std::string& layout) -> std::string {
        try {
            auto bad = FormFromLayout(layout);
            bad->AfterConstruction();
        } catch (const toolkit::ELayoutError& error) {
            return error.what();
        }
        return "no error";
    };
    EXPECT_EQ(messageOf("object f: form\n  object x: slider\n  end\nend\n"),
              "Layout test layout, line 2: unknown kind of object \"slider\"");
    EXPECT_EQ(messageOf("object f: form\n  object b: button\n    Colour = #FFFFFF\n  end\nend\n"),
              "Layout test layout, line 3: button b has no property \"Colour\"");
    EXPECT_EQ(messageOf("object f: form\n  object b: button\n    OnClick = Missing\n  end\nend\n"),
              "Layout test layout, line 3: no handler named Missing");
    EXPECT_EQ(messageOf("object f: form\n  Menu = mnuNone\nend\n"), "Layout test layout, line 2: no object named mnuNone");
    EXPECT_EQ(messageOf("object f: form\n  object b: button\n  end\n  object b: label\n  end\nend\n"),
              "Layout test layout, line 4: a second object named b");
    EXPECT_EQ(messageOf("object f: form\n  object l: label\n    object b: button\n    end\n  end\nend\n"),
              "Layout test layout, line 2: label l cannot hold objects");
    EXPECT_EQ(messageOf("object f: form\n  object l: label\n    Cursor = crBanana\n  end\nend\n"),
              "Layout test layout, line 3: Cursor: unknown cursor \"crBanana\"");
}

TEST_F(Toolkit, CreationHandlerErrorsAreReportedAndTheFormStillExists) {
    auto created = FormFromLayout("object f: form\n  OnCreate = Boom\nend\n");
    created->RegisterHandler("Boom", TNotifyEvent([](TComponent*) { throw engine::Exception("create failed"); }));
    created->AfterConstruction();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], "create failed");
    EXPECT_TRUE(IsWindow(created->Handle()));
}

}  // namespace

namespace {

using namespace toolkit;

class ToolkitKeys : public FormTest {};

const char* const kFieldsLayout = R"(object frmFields: form
  ClientSize = 300 120
  object lblName: label
    Bounds = 8 8 80 15
    Caption = "&Name:"
    FocusControl = edtName
  end
  object edtName: edit
    Bounds = 100 8 150 21
  end
  object lblCode: label
    Bounds = 8 40 80 15
    Caption = "Fish && &Chips"
    FocusControl = edtCode
  end
  object edtCode: edit
    Bounds = 100 40 150 21
    PasswordChar = "*"
  end
end
)";

// Alt+N as the keyboard delivers it: Alt held while the key goes down.
bool PressAlt(TForm& form, WPARAM key) {
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    BYTE saved = keys[VK_MENU];
    keys[VK_MENU] = 0x80;
    SetKeyboardState(keys);
    bool handled = form.HandleShortCut(key);
    keys[VK_MENU] = saved;
    SetKeyboardState(keys);
    return handled;
}

TEST_F(ToolkitKeys, LabelAccessKeyFocusesItsControl) {
    auto form = FormFromLayout(kFieldsLayout);
    form->AfterConstruction();
    form->Show();
    TEdit& name = form->Get<TEdit>(L"edtName");
    TEdit& code = form->Get<TEdit>(L"edtCode");
    code.SetFocus();
    EXPECT_TRUE(PressAlt(*form, 'N'));
    EXPECT_TRUE(name.Focused());
    EXPECT_TRUE(PressAlt(*form, 'C'));  // "&&" is a plain ampersand, "&C" the key
    EXPECT_TRUE(code.Focused());
    EXPECT_FALSE(PressAlt(*form, 'F'));
    EXPECT_FALSE(form->HandleShortCut('N'));  // without Alt it is typing
    code.SetEnabled(false);
    EXPECT_FALSE(PressAlt(*form, 'C'));
    form->Hide();
}

TEST_F(ToolkitKeys, PasswordEditGivesItsTextAsASecret) {
    auto form = FormFromLayout(kFieldsLayout);
    form->AfterConstruction();
    TEdit& code = form->Get<TEdit>(L"edtCode");
    EXPECT_EQ(code.PasswordChar(), L'*');
    EXPECT_EQ(SendMessageW(code.Handle(), EM_GETPASSWORDCHAR, 0, 0), L'*');
    code.SetText(L"s3cret \u00E9");
    os::SecretString secret = code.SecretText();
    EXPECT_EQ(std::wstring(secret.view()), L"s3cret \u00E9");
    code.SetText(L"");
    EXPECT_TRUE(code.SecretText().empty());

    // Wiped: nothing left to show or to undo, and no change reported on the way.
    EXPECT_EQ(TEdit::kMaxPasswordLength, SendMessageW(code.Handle(), EM_GETLIMITTEXT, 0, 0));
    int changes = 0;
    code.OnChange = [&changes](TComponent*) { ++changes; };
    SendMessageW(code.Handle(), EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L"typed"));
    SendMessageW(code.Handle(), EM_SETSEL, 1, 3);
    SendMessageW(code.Handle(), WM_CLEAR, 0, 0);
    EXPECT_EQ(2, changes);
    code.WipeText();
    EXPECT_EQ(2, changes);
    EXPECT_EQ(0, GetWindowTextLengthW(code.Handle()));
    EXPECT_FALSE(SendMessageW(code.Handle(), EM_CANUNDO, 0, 0));
}

// A window taller than the paint buffer's band is painted whole: figures
// across several bands, and where bands meet, show in their own colours.
TEST_F(FormTest, TallWindowIsPaintedWholeThroughItsBuffer) {
    TForm form(nullptr);
    form.LoadLayout(R"(object frmPaint: form
  BorderStyle = none
  ClientSize = 200 300
  object pnlTall: panel
    Bounds = 0 0 200 300
    Color = #FFFFFF
    object shpBar: shape
      Bounds = 20 10 40 280
      Brush.Color = #FF0000
      Pen.Color = #FF0000
    end
    object shpLow: shape
      Bounds = 100 230 40 40
      Brush.Color = #0000FF
      Pen.Color = #0000FF
    end
  end
end
)",
                    "paint layout");
    form.AfterConstruction();
    form.Show();
    const HWND panel = form.Get<TPanel>(L"pnlTall").Handle();
    RedrawWindow(panel, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    HDC dc = GetDC(panel);
    for (int y : {12, 63, 64, 65, 127, 128, 200, 287})
        EXPECT_EQ(RGB(0xFF, 0, 0), GetPixel(dc, 40, y)) << "bar at row " << y;
    EXPECT_EQ(RGB(0, 0, 0xFF), GetPixel(dc, 120, 250));
    for (int y : {5, 64, 200, 295}) EXPECT_EQ(RGB(0xFF, 0xFF, 0xFF), GetPixel(dc, 180, y)) << "row " << y;
    ReleaseDC(panel, dc);
}

class MoveCountingForm : public TForm {
public:
    using TForm::TForm;
    LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_WINDOWPOSCHANGED) ++moves;
        return TForm::WndProc(message, wParam, lParam);
    }
    int moves = 0;
};

// Size, frame, menu and z-order set while the form is made (by its layout and
// its creation handler) reach the hidden window together, and hold.
TEST_F(FormTest, FormBeingMadeIsPlacedInOnePass) {
    MoveCountingForm form(nullptr);
    form.LoadLayout(R"(object frmPlaced: form
  BorderStyle = single
  BorderIcons = [systemMenu]
  FormStyle = stayOnTop
  ClientSize = 300 200
  Menu = mnuMain
  OnCreate = Created
  object mnuMain: mainmenu
    object mnuFile: menuitem
      Caption = "&File"
    end
  end
end
)",
                    "placed layout");
    int heightSeenInHandler = 0;
    form.RegisterHandler("Created", TNotifyEvent([&](TComponent*) {
                             form.SetClientHeight(250);
                             heightSeenInHandler = form.ClientHeight();
                         }));
    form.AfterConstruction();
    EXPECT_LE(form.moves, 2) << "the menu bar's own frame change, then one pass";
    EXPECT_EQ(250, heightSeenInHandler);
    RECT client{};
    GetClientRect(form.Handle(), &client);
    EXPECT_EQ(300, client.right);
    EXPECT_EQ(250, client.bottom);
    EXPECT_EQ(250, form.ClientHeight());
    RECT window{};
    GetWindowRect(form.Handle(), &window);
    EXPECT_EQ(form.Width(), window.right - window.left);
    EXPECT_EQ(form.Height(), window.bottom - window.top);
    EXPECT_NE(nullptr, GetMenu(form.Handle()));
    EXPECT_TRUE(GetWindowLongPtrW(form.Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_FALSE(GetWindowLongPtrW(form.Handle(), GWL_STYLE) & WS_THICKFRAME);

    const int moves = form.moves;
    form.SetClientHeight(220);
    EXPECT_GT(form.moves, moves) << "once made, a change goes to the window at once";
    GetClientRect(form.Handle(), &client);
    EXPECT_EQ(220, client.bottom);
}

}  // namespace
