// The message dialog's layout arithmetic and link completion.
#include "toolkit/DpiScale.h"
#include "ui/InfoDlgExCore.h"

#include <gtest/gtest.h>

#include <array>

namespace {

using ui::TInfoDlgMetrics;

std::array<int, 4> Box(const RECT& r) { return {r.left, r.top, r.right - r.left, r.bottom - r.top}; }
std::array<int, 4> Box(int left, int top, int width, int height) { return {left, top, width, height}; }

// At 96 dpi: a 32-pixel icon, 89 × 25 buttons; at 144 dpi the same scaled.
TInfoDlgMetrics Metrics(int dpi, int textHeight) {
    TInfoDlgMetrics metrics;
    metrics.pixelsPerInch = dpi;
    metrics.icon = dpi == 96 ? SIZE{32, 32} : SIZE{48, 48};
    metrics.button = dpi == 96 ? SIZE{89, 25} : SIZE{134, 38};
    metrics.checkBoxHeight = 17;
    metrics.textHeight = textHeight;
    return metrics;
}

TEST(InfoDlgExLayout, ButtonsFromTheRightUnderTheTextOrTheCheckBox) {
    TInfoDlgMetrics question = Metrics(96, 30);
    question.yes = question.no = true;
    ui::TInfoDlgLayout layout = ui::LayoutInfoDlg(question);
    EXPECT_EQ(Box(layout.icon), Box(8, 8, 32, 32));
    EXPECT_EQ(Box(layout.text), Box(48, 8, 283, 48)) << "three buttons wide, six margins high at least";
    EXPECT_EQ(Box(layout.no), Box(242, 72, 89, 25));
    EXPECT_EQ(Box(layout.yes), Box(145, 72, 89, 25));
    EXPECT_EQ(Box(layout.ok), Box(0, 0, 0, 0));
    EXPECT_EQ(layout.client.cx, 339);
    EXPECT_EQ(layout.client.cy, 105);

    TInfoDlgMetrics error = Metrics(96, 60);
    error.ok = true;
    EXPECT_EQ(Box(ui::LayoutInfoDlg(error).ok), Box(242, 84, 89, 25));
    error.help = true;
    layout = ui::LayoutInfoDlg(error);
    EXPECT_EQ(Box(layout.help), Box(242, 84, 89, 25)) << "Help takes the right-most place";
    EXPECT_EQ(Box(layout.ok), Box(145, 84, 89, 25));
    EXPECT_EQ(layout.client.cy, 117);

    TInfoDlgMetrics info = Metrics(96, 100);
    info.ok = info.cancel = info.checkBox = true;
    layout = ui::LayoutInfoDlg(info);
    EXPECT_EQ(Box(layout.bevel), Box(48, 108, 283, 8)) << "a line under the text, then the check box";
    EXPECT_EQ(Box(layout.checkBox), Box(48, 124, 283, 17));
    EXPECT_EQ(Box(layout.cancel), Box(242, 149, 89, 25));
    EXPECT_EQ(Box(layout.ok), Box(145, 149, 89, 25));
    EXPECT_EQ(layout.client.cy, 182);
}

TEST(InfoDlgExLayout, FourButtonsWidenTheTextSoThatAllFit) {
    TInfoDlgMetrics question = Metrics(96, 60);
    question.yes = question.no = question.cancel = question.help = true;
    const ui::TInfoDlgLayout layout = ui::LayoutInfoDlg(question);
    EXPECT_EQ(Box(layout.text), Box(48, 8, 380, 60));
    EXPECT_EQ(layout.yes.left, 48);
    EXPECT_EQ(layout.help.left, 339);
}

TEST(InfoDlgExLayout, MarginGrowsAboveOneHundredDpi) {
    EXPECT_EQ(ui::InfoDlgMargin(100), 8);
    EXPECT_EQ(ui::InfoDlgMargin(101), 12);
    TInfoDlgMetrics question = Metrics(144, 40);
    question.yes = question.no = true;
    const ui::TInfoDlgLayout layout = ui::LayoutInfoDlg(question);
    EXPECT_EQ(Box(layout.text), Box(72, 12, 426, 72));
    EXPECT_EQ(Box(layout.no), Box(364, 108, 134, 38));
    EXPECT_EQ(Box(layout.yes), Box(218, 108, 134, 38));
    EXPECT_EQ(layout.client.cx, 510);
    EXPECT_EQ(layout.client.cy, 158);
}

// After a move to another screen the dialog lays itself out again from its
// controls' sizes there: the result depends on the resolution alone.
TEST(InfoDlgExLayout, LaidOutAgainAtEachResolution) {
    const std::pair<int, SIZE> expected[] = {{96, {339, 105}}, {120, {433, 151}}, {144, {510, 158}}, {192, {658, 170}}};
    for (const auto& [dpi, client] : expected) {
        TInfoDlgMetrics question;
        question.pixelsPerInch = dpi;
        question.icon = {toolkit::ScaleToDpi(32, dpi), toolkit::ScaleToDpi(32, dpi)};
        question.button = {toolkit::ScaleToDpi(89, dpi), toolkit::ScaleToDpi(25, dpi)};
        question.textHeight = toolkit::ScaleToDpi(30, dpi);
        question.yes = question.no = true;
        const ui::TInfoDlgLayout layout = ui::LayoutInfoDlg(question);
        EXPECT_EQ(layout.client.cx, client.cx) << dpi;
        EXPECT_EQ(layout.client.cy, client.cy) << dpi;
        EXPECT_EQ(layout.no.right + ui::InfoDlgMargin(dpi), layout.client.cx) << dpi;
    }
}

TEST(InfoDlgExLinks, TargetsGetTheSchemeTheyLack) {
    EXPECT_EQ(ui::CompleteLinkTarget(WSTR("support@vantrel.example")), WSTR("mailto:support@vantrel.example"));
    EXPECT_EQ(ui::CompleteLinkTarget(WSTR("MailTo:a@b.example")), WSTR("MailTo:a@b.example"));
    EXPECT_EQ(ui::CompleteLinkTarget(WSTR("www.vantrel.example")), WSTR("http://www.vantrel.example"));
    EXPECT_EQ(ui::CompleteLinkTarget(WSTR("https://vantrel.example/")), WSTR("https://vantrel.example/"));
    EXPECT_EQ(ui::CompleteLinkTarget(WSTR("HTTP://user@vantrel.example/")), WSTR("HTTP://user@vantrel.example/"))
        << "a scheme wins over the at sign of its user part";
}

// The program may run elevated: a message's link never starts a file, a share
// or another scheme's handler.
TEST(InfoDlgExLinks, OnlyWebAndMailTargetsOpen) {
    for (const WCHAR* target : {WSTR("file:///C:/Windows/System32/cmd.exe"), WSTR("ftp://user@vantrel.example/"),
                                WSTR("ms-settings://privacy"), WSTR("javascript://%0Aalert(1)"),
                                WSTR("xhttp://vantrel.example")})
        EXPECT_EQ(ui::CompleteLinkTarget(target), WSTR("")) << os::ToUtf8(target);
    EXPECT_EQ(ui::CompleteLinkTarget(WSTR("\\\\server\\share\\tool.exe")), WSTR("http://\\\\server\\share\\tool.exe"));
}

TEST(InfoDlgExText, PlainTextKeepsItsLineBreaks) {
    EXPECT_EQ(ui::PlainTextMarkup(WSTR("found:\r\n\nC:\\x.chm\rend")), WSTR("found:<br><br>C:\\x.chm<br>end"));
}

}  // namespace
