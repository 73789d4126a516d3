#include "FormTest.h"
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
        RedrawWindow(form->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        Pump();
    }
    void TearDown() override {
        form.reset();
        FormTest::TearDown();
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
    void ClickAt(POINT point) {
        ASSERT_EQ(form->Handle(), WindowFromPoint(point));
        Mouse(point, true);
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
    Mouse(OnScreen(link));
    EXPECT_EQ(toolkit::crHandPoint, label->Cursor);
    EXPECT_EQ(hand, GetCursor());

    const POINT beside = label->ClientToScreen({link.Rect.right + 2, (link.Rect.top + link.Rect.bottom) / 2});
    Mouse(beside);
    EXPECT_EQ(toolkit::crDefault, label->Cursor);
    EXPECT_NE(hand, GetCursor());

    const POINT below = label->ClientToScreen({link.Rect.left + 3, link.Rect.bottom + 1});
    label->Cursor = toolkit::crHandPoint;  // set in advance, it does not last
    Mouse(below);
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

}  // namespace
