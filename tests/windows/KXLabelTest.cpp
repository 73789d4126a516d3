#include "FormTest.h"
#include "toolkit/DpiScale.h"
#include "widgets/KXLabel.h"

#include <string>
#include <vector>

namespace {

using widgets::TKXLabel;

const wchar_t* const kText = L"Plain words before <a href=\"secure\">activate now</a> and <b>bold</b> after.";

// A shown form with one markup label, painted, on the real GDI.
class KXLabel : public FormTest {
protected:
    void SetUp() override {
        FormTest::SetUp();
        form = std::make_unique<toolkit::TForm>(nullptr);
        form->SetBounds(200, 200, 0, 0);
        form->SetClientSize(400, 200);
        label = new TKXLabel(form.get(), form.get());
        label->SetBounds(20, 20, 360, 150);
        label->SetCaption(kText);
        label->OnClick = [this](toolkit::TComponent*) { events.push_back(L"click"); };
        form->Show();
        Paint();
    }
    void TearDown() override {
        form.reset();
        FormTest::TearDown();
    }
    void Paint() {
        RedrawWindow(form->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        Pump();
    }
    const widgets::THTMLRenderItem& Item(const std::wstring& text) const {
        for (std::size_t i = 0; i < label->Render().Items.Count(); ++i)
            if (label->Render().Items[i].Text.find(text) != std::wstring::npos) return label->Render().Items[i];
        ADD_FAILURE() << "no run holds that text";
        return label->Render().Items[0];
    }
    // The middle of a run's left part, on the screen.
    POINT OnScreen(const widgets::THTMLRenderItem& item) const {
        return label->ClientToScreen({item.Rect.left + 3, (item.Rect.top + item.Rect.bottom) / 2});
    }
    static void MoveMouse(POINT point) {
        INPUT move{};
        move.type = INPUT_MOUSE;
        move.mi.dx = MulDiv(point.x, 65536, GetSystemMetrics(SM_CXSCREEN)) + 1;
        move.mi.dy = MulDiv(point.y, 65536, GetSystemMetrics(SM_CYSCREEN)) + 1;
        move.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
        SendInput(1, &move, sizeof(INPUT));
        WaitForInput();
    }
    void ClickAt(POINT point) {
        ASSERT_EQ(form->Handle(), WindowFromPoint(point));
        MoveMouse(point);
        INPUT press[2] = {};
        press[0].type = press[1].type = INPUT_MOUSE;
        press[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
        press[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
        ASSERT_EQ(2u, SendInput(2, press, sizeof(INPUT)));
        WaitForInput();
    }
    static void WaitForInput() {
        for (int i = 0; i < 10; ++i) {
            Pump();
            Sleep(10);
        }
    }

    std::unique_ptr<toolkit::TForm> form;
    TKXLabel* label = nullptr;
    std::vector<std::wstring> events;
};

TEST_F(KXLabel, RealClicksRaiseTheLinkEventOnLinksAndOnClickElsewhere) {
    label->OnLinkClick = [this](toolkit::TComponent* sender, widgets::THTMLRenderItem& item) {
        EXPECT_EQ(label, sender);
        events.push_back(L"link " + item.Href);
    };
    ClickAt(OnScreen(Item(L"activate")));
    ClickAt(OnScreen(Item(L"Plain")));
    ClickAt(OnScreen(Item(L"bold")));
    EXPECT_EQ((std::vector<std::wstring>{L"link secure", L"click", L"click"}), events);

    label->OnLinkClick = nullptr;
    ClickAt(OnScreen(Item(L"activate")));
    EXPECT_EQ(L"click", events.back()) << "a link without a handler is an ordinary click";
}

TEST_F(KXLabel, HandCursorOverALinkOnlyAndOnEveryMove) {
    const HCURSOR hand = LoadCursorW(nullptr, IDC_HAND);
    const widgets::THTMLRenderItem& link = Item(L"activate");
    MoveMouse(OnScreen(link));
    EXPECT_EQ(toolkit::crHandPoint, label->Cursor);
    EXPECT_EQ(hand, GetCursor());

    const POINT beside = label->ClientToScreen({link.Rect.right + 2, (link.Rect.top + link.Rect.bottom) / 2});
    MoveMouse(beside);
    EXPECT_EQ(toolkit::crDefault, label->Cursor);
    EXPECT_NE(hand, GetCursor());

    const POINT below = label->ClientToScreen({link.Rect.left + 3, link.Rect.bottom + 1});
    label->Cursor = toolkit::crHandPoint;  // set in advance, it does not last
    MoveMouse(below);
    EXPECT_EQ(toolkit::crDefault, label->Cursor);
}

TEST_F(KXLabel, TextHeightFollowsTheWidthAndTheLineSpacing) {
    const int wide = label->GetTextHeight();
    label->SetWidth(120);
    const int narrow = label->GetTextHeight();
    EXPECT_GT(narrow, 2 * wide);
    const int lines = narrow / wide;
    label->SetInterlineSpacing(5);
    EXPECT_EQ(narrow + 5 * lines, label->GetTextHeight());
}

TEST_F(KXLabel, SettersRelayOutOnlyOnChangeExceptTheLinkColour) {
    EXPECT_FALSE(label->NeedsLayout());
    EXPECT_TRUE(label->Transparent());
    EXPECT_EQ(toolkit::clBlue, label->LinkColor());
    label->SetJustify(false);
    label->SetInterlineSpacing(0);
    label->SetTransparent(true);
    EXPECT_FALSE(label->NeedsLayout());
    label->SetLinkColor(toolkit::clBlue);
    EXPECT_TRUE(label->NeedsLayout());
    Paint();
    EXPECT_FALSE(label->NeedsLayout());
    EXPECT_EQ(RGB(0, 0, 255), Item(L"activate").Font.Color);
    label->SetLinkColor(toolkit::clMaroon);
    Paint();
    EXPECT_EQ(RGB(128, 0, 0), Item(L"activate").Font.Color);
}

TEST_F(KXLabel, StoredLayoutsCreateMarkupLabels) {
    widgets::RegisterKXLabel();
    int links = 0;
    toolkit::TForm stored(nullptr);
    stored.RegisterHandler("LinkClicked", widgets::TKXLabelLinkClickEvent(
                                              [&](toolkit::TComponent*, widgets::THTMLRenderItem&) { ++links; }));
    stored.LoadLayout(R"(object dlgText: form
  ClientSize = 300 100
  object lblText: markuplabel
    Bounds = 10 10 200 50
    Caption = "<a href=\"x\">x</a>"
    InterlineSpacing = 2
    LinkColor = #008000
    Justify = true
    Transparent = false
    OnLinkClick = LinkClicked
  end
end
)",
                      "markup");
    stored.AfterConstruction();
    auto& text = stored.Get<TKXLabel>(L"lblText");
    EXPECT_EQ(RGB(0, 0x80, 0), text.LinkColor());
    EXPECT_TRUE(text.Justify());
    EXPECT_FALSE(text.Transparent());
    EXPECT_EQ(toolkit::ScaleToDpi(2, stored.PixelsPerInch()), text.InterlineSpacing());
    widgets::THTMLRenderItem item;
    ASSERT_TRUE(text.OnLinkClick);
    text.OnLinkClick(&text, item);
    EXPECT_EQ(1, links);
}

}  // namespace
