#include "widgets/LinkLbl.h"

#include "toolkit/Application.h"
#include "toolkit/Form.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using widgets::TLinkLabel;

// Records the addresses instead of starting a browser, and the cursor shown
// while the shell would be working.
class RecordingLinkLabel : public TLinkLabel {
public:
    using TLinkLabel::TLinkLabel;
    std::vector<std::wstring> opened;
    toolkit::TCursor cursorWhileOpening = toolkit::crDefault;

protected:
    void ShellOpen(const std::wstring& address) override {
        opened.push_back(address);
        cursorWhileOpening = toolkit::Application().ScreenCursor();
    }
};

TEST(LinkLblTest, NewLinkIsBlueUnderlinedWithAHandCursor) {
    toolkit::TForm form(nullptr);
    TLinkLabel link(nullptr, &form);
    EXPECT_EQ(toolkit::clBlue, link.Font().Color());
    EXPECT_EQ(toolkit::fsUnderline, link.Font().Style());
    EXPECT_EQ(toolkit::crHandPoint, link.Cursor);
    EXPECT_EQ(L"http://", link.HREF);
    EXPECT_TRUE(link.AutoColors());
    EXPECT_FALSE(link.Visited());
    EXPECT_EQ(toolkit::clBlue, link.ColorUnvisited());
    EXPECT_EQ(widgets::clPurple, link.ColorVisited());
}

TEST(LinkLblTest, ColoursFollowVisitedAndAutoColors) {
    TLinkLabel link(nullptr, nullptr);
    link.SetVisited(true);
    EXPECT_EQ(0x800080u, link.Font().Color());

    // The own colours wait until AutoColors is off.
    link.SetColorUnvisited(RGB(0, 128, 0));
    link.SetColorVisited(RGB(128, 0, 0));
    EXPECT_EQ(0x800080u, link.Font().Color());

    link.SetAutoColors(false);
    EXPECT_EQ(RGB(128, 0, 0), link.Font().Color());
    link.SetVisited(false);
    EXPECT_EQ(RGB(0, 128, 0), link.Font().Color());
    link.SetColorUnvisited(RGB(0, 0, 200));
    EXPECT_EQ(RGB(0, 0, 200), link.Font().Color());

    link.SetAutoColors(true);
    EXPECT_EQ(toolkit::clBlue, link.Font().Color());
}

TEST(LinkLblTest, KeepsItsLookWhenMovedToAnotherParent) {
    toolkit::TForm form(nullptr);
    form.Font().SetColor(RGB(10, 20, 30));
    form.Font().SetStyle(toolkit::fsBold);
    TLinkLabel link(nullptr, nullptr);
    link.SetVisited(true);
    link.SetParent(&form);
    EXPECT_EQ(widgets::clPurple, link.Font().Color());
    EXPECT_EQ(toolkit::fsUnderline, link.Font().Style());
    link.SetParent(nullptr);
}

TEST(LinkLblTest, OpenLinkSkipsThePlaceholderAndRestoresTheCursor) {
    RecordingLinkLabel link(nullptr, nullptr);
    toolkit::Application().SetScreenCursor(toolkit::crIBeam);

    link.OpenLink();
    link.HREF.clear();
    link.OpenLink();
    link.HREF = L"HTTP://";  // compared exactly: this one is opened
    link.OpenLink();
    link.HREF = L"https://www.vantrel.example/gatewise";
    link.OpenLink();

    EXPECT_EQ((std::vector<std::wstring>{L"HTTP://", L"https://www.vantrel.example/gatewise"}), link.opened);
    EXPECT_EQ(toolkit::crHourGlass, link.cursorWhileOpening);
    EXPECT_EQ(toolkit::crIBeam, toolkit::Application().ScreenCursor());
    EXPECT_FALSE(link.Visited());
    toolkit::Application().SetScreenCursor(toolkit::crDefault);
}

TEST(LinkLblTest, ClickEnterOrSpaceOpenTheLinkInsteadOfOnClick) {
    toolkit::TForm form(nullptr);
    form.SetClientSize(300, 100);
    auto* link = new RecordingLinkLabel(&form, &form);
    link->SetCaption(L"www.vantrel.example");
    link->SetBounds(10, 10, 150, 20);
    link->HREF = L"https://www.vantrel.example/";
    int clicks = 0;
    link->OnClick = [&](toolkit::TComponent*) { ++clicks; };
    form.Show();

    SendMessageW(link->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 5));
    SendMessageW(link->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(10, 5));
    EXPECT_EQ(std::vector<std::wstring>{L"https://www.vantrel.example/"}, link->opened);
    EXPECT_EQ(0, clicks);

    // The keyboard: the link takes the focus, Enter and Space open it.
    link->SetFocus();
    EXPECT_TRUE(link->Focused());
    MSG enter{link->Handle(), WM_KEYDOWN, VK_RETURN, 0, 0, {}};
    EXPECT_EQ(DLGC_WANTMESSAGE, SendMessageW(link->Handle(), WM_GETDLGCODE, VK_RETURN, reinterpret_cast<LPARAM>(&enter)))
        << "Enter is not left to the dialog's default button";
    SendMessageW(link->Handle(), WM_KEYDOWN, VK_RETURN, 0);
    SendMessageW(link->Handle(), WM_KEYDOWN, VK_SPACE, 0);
    EXPECT_EQ(3u, link->opened.size());

    // Beside the label nothing opens.
    SendMessageW(form.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(250, 80));
    SendMessageW(form.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(250, 80));
    EXPECT_EQ(3u, link->opened.size());
    form.Hide();
}

TEST(LinkLblTest, StoredLayoutsCreateLinkLabels) {
    widgets::RegisterLinkLabel();
    toolkit::TForm form(nullptr);
    form.LoadLayout(R"(object dlgLinks: form
  ClientSize = 300 100
  object lblLink: linklabel
    Bounds = 10 10 100 20
    Caption = "www.vantrel.example"
    HREF = "https://www.vantrel.example/"
    AutoColors = false
    ColorUnvisited = #008000
    ColorVisited = clMaroon
  end
end
)",
                    "links");
    auto& link = form.Get<TLinkLabel>(L"lblLink");
    EXPECT_EQ(L"https://www.vantrel.example/", link.HREF);
    EXPECT_EQ(L"www.vantrel.example", link.Caption());
    EXPECT_FALSE(link.AutoColors());
    EXPECT_EQ(RGB(0, 0x80, 0), link.Font().Color());
    EXPECT_EQ(toolkit::clMaroon, link.ColorVisited());
    EXPECT_EQ(toolkit::fsUnderline, link.Font().Style());
    EXPECT_EQ(toolkit::crHandPoint, link.Cursor);
}

}  // namespace
