// The message dialog's layout arithmetic and link completion.
#include "ui/InfoDlgExCore.h"

#include <gtest/gtest.h>

#include <array>

namespace {

using ui::LayoutInfoDlg;
using ui::TInfoDlgMetrics;

std::array<int, 4> Box(const RECT& rect) {
    return {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}
std::array<int, 4> Box(int left, int top, int width, int height) { return {left, top, width, height}; }
const std::array<int, 4> kHidden{0, 0, 0, 0};

// The sizes of the controls at 96 dpi: a 32-pixel icon, 89 × 25 buttons.
TInfoDlgMetrics At96(int textHeight) {
    TInfoDlgMetrics metrics;
    metrics.icon = {32, 32};
    metrics.button = {89, 25};
    metrics.checkBoxHeight = 17;
    metrics.textHeight = textHeight;
    return metrics;
}

TEST(InfoDlgExLayout, QuestionPutsNoAtTheRightEdgeAndYesBesideIt) {
    TInfoDlgMetrics question = At96(30);
    question.yes = question.no = true;
    const ui::TInfoDlgLayout layout = LayoutInfoDlg(question);
    EXPECT_EQ(Box(layout.icon), Box(8, 8, 32, 32));
    EXPECT_EQ(Box(layout.text), Box(48, 8, 283, 48)) << "three buttons wide, a short text six margins high";
    EXPECT_EQ(Box(layout.no), Box(242, 72, 89, 25));
    EXPECT_EQ(Box(layout.yes), Box(145, 72, 89, 25));
    EXPECT_EQ(Box(layout.ok), kHidden);
    EXPECT_EQ(Box(layout.help), kHidden);
    EXPECT_EQ(Box(layout.cancel), kHidden);
    EXPECT_EQ(layout.client.cx, 339);
    EXPECT_EQ(layout.client.cy, 105);
}

TEST(InfoDlgExLayout, HelpTakesTheRightmostPlaceAndTheOthersMoveLeft) {
    TInfoDlgMetrics error = At96(60);
    error.ok = error.help = true;
    ui::TInfoDlgLayout layout = LayoutInfoDlg(error);
    EXPECT_EQ(Box(layout.text), Box(48, 8, 283, 60));
    EXPECT_EQ(Box(layout.help), Box(242, 84, 89, 25));
    EXPECT_EQ(Box(layout.ok), Box(145, 84, 89, 25));
    EXPECT_EQ(layout.client.cy, 117);

    error.help = false;
    EXPECT_EQ(Box(LayoutInfoDlg(error).ok), Box(242, 84, 89, 25)) << "OK alone at the right edge";

}

TEST(InfoDlgExLayout, FourButtonsWidenTheTextSoThatAllFit) {
    TInfoDlgMetrics question = At96(60);
    question.yes = question.no = question.cancel = question.help = true;
    const ui::TInfoDlgLayout layout = LayoutInfoDlg(question);
    EXPECT_EQ(Box(layout.text), Box(48, 8, 380, 60));
    EXPECT_EQ(layout.help.left, 339);
    EXPECT_EQ(layout.cancel.left, 242);
    EXPECT_EQ(layout.no.left, 145);
    EXPECT_EQ(layout.yes.left, 48);
    EXPECT_EQ(layout.client.cx, 436);
}

TEST(InfoDlgExLayout, CheckBoxSitsUnderALineBetweenTextAndButtons) {
    TInfoDlgMetrics info = At96(100);
    info.ok = info.cancel = info.checkBox = true;
    const ui::TInfoDlgLayout layout = LayoutInfoDlg(info);
    EXPECT_EQ(Box(layout.bevel), Box(48, 108, 283, 8));
    EXPECT_EQ(Box(layout.checkBox), Box(48, 124, 283, 17));
    EXPECT_EQ(Box(layout.cancel), Box(242, 149, 89, 25));
    EXPECT_EQ(Box(layout.ok), Box(145, 149, 89, 25));
    EXPECT_EQ(layout.client.cx, 339);
    EXPECT_EQ(layout.client.cy, 182);
}

TEST(InfoDlgExLayout, MarginGrowsAboveOneHundredDpi) {
    EXPECT_EQ(ui::InfoDlgMargin(96), 8);
    EXPECT_EQ(ui::InfoDlgMargin(100), 8);
    EXPECT_EQ(ui::InfoDlgMargin(101), 12);

    TInfoDlgMetrics question;  // 144 dpi: a 48-pixel icon, 134 × 38 buttons
    question.pixelsPerInch = 144;
    question.icon = {48, 48};
    question.button = {134, 38};
    question.textHeight = 40;
    question.yes = question.no = true;
    const ui::TInfoDlgLayout layout = LayoutInfoDlg(question);
    EXPECT_EQ(ui::InfoDlgTextWidth(question), 426);
    EXPECT_EQ(Box(layout.text), Box(72, 12, 426, 72));
    EXPECT_EQ(Box(layout.no), Box(364, 108, 134, 38));
    EXPECT_EQ(Box(layout.yes), Box(218, 108, 134, 38));
    EXPECT_EQ(layout.client.cx, 510);
    EXPECT_EQ(layout.client.cy, 158);
}

TEST(InfoDlgExLinks, TargetsGetTheSchemeTheyLack) {
    EXPECT_EQ(ui::CompleteLinkTarget(WSTR("support@vantrel.example")), WSTR("mailto:support@vantrel.example"));
    EXPECT_EQ(ui::CompleteLinkTarget(WSTR("mailto:a@b.example")), WSTR("mailto:a@b.example"));
    EXPECT_EQ(ui::CompleteLinkTarget(WSTR("MailTo:a@b.example")), WSTR("MailTo:a@b.example"));
    EXPECT_EQ(ui::CompleteLinkTarget(WSTR("www.vantrel.example")), WSTR("http://www.vantrel.example"));
    EXPECT_EQ(ui::CompleteLinkTarget(WSTR("https://www.vantrel.example/")), WSTR("https://www.vantrel.example/"));
    EXPECT_EQ(ui::CompleteLinkTarget(WSTR("ftp://user@files.vantrel.example/")),
              WSTR("ftp://user@files.vantrel.example/"))
        << "a scheme wins over the at sign of its user part";
}

}  // namespace
