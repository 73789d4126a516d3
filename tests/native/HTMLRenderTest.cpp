// The markup renderer on the simulated GDI: parsing, folding, tags and
// attributes, colours and sizes, wrapping, justification, drawing, hit-testing.
#include "widgets/HTMLRender.h"

#include "HTMLRenderReference.h"
#include "os/WinApi.h"
#include "os/sim/SimMachine.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

using namespace widgets;
using os::WString;
using os::sim::SimGdi;

constexpr COLORREF kTextColor = RGB(10, 20, 30);
constexpr COLORREF kLinkColor = RGB(0, 0, 200);

LOGFONTW LogFont(const char16_t* face, LONG height, bool bold = false) {
    LOGFONTW font{};
    font.lfHeight = height;
    font.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    for (int i = 0; face[i] && i < LF_FACESIZE - 1; ++i) font.lfFaceName[i] = static_cast<WCHAR>(face[i]);
    return font;
}

class HTMLRenderTest : public ::testing::Test {
protected:
    void SetUp() override {
        dc = machine.CreateCompatibleDC(nullptr);
        const LOGFONTW base = LogFont(u"Segoe UI", -12);
        baseFont = machine.CreateFontIndirectW(&base);
        stockFont = machine.SelectObject(dc, baseFont);
        machine.SetTextColor(dc, kTextColor);
        openBefore = machine.OpenHandles();
    }
    void TearDown() override {
        EXPECT_EQ(machine.OpenHandles(), openBefore) << "a GDI object outlived its use";
        machine.SelectObject(dc, stockFont);
        machine.DeleteObject(baseFont);
        machine.DeleteDC(dc);
        EXPECT_EQ(machine.OpenHandles(), 0);
    }

    void Layout(const WString& text, int width = 1000, bool justify = false) {
        render.Layout(text, dc, kLinkColor, justify, RECT{0, 0, width, 500});
    }
    void Draw(RECT rect = {0, 0, 1000, 500}, bool enabled = true, bool transparent = true) {
        render.Draw(dc, rect, RGB(255, 255, 221), enabled, transparent);
    }
    std::vector<WString> Texts() const {
        std::vector<WString> texts;
        for (std::size_t i = 0; i < render.Items.Count(); ++i) texts.push_back(render.Items[i].Text);
        return texts;
    }
    std::vector<int> Breaks() const {
        std::vector<int> breaks;
        for (std::size_t i = 0; i < render.Items.Count(); ++i) breaks.push_back(render.Items[i].LineBreak);
        return breaks;
    }
    const THTMLRenderItem& Item(std::size_t i) const { return render.Items[i]; }

    static int Regular(const WString& text) { return SimGdi::TextWidth(LogFont(u"Segoe UI", -12), text); }
    static int Bold(const WString& text) { return SimGdi::TextWidth(LogFont(u"Segoe UI", -12, true), text); }
    static TEXTMETRICW Metrics(LONG height) { return SimGdi::Metrics(LogFont(u"Segoe UI", height)); }

    os::sim::SimMachine machine;
    os::ScopedMachine scope{machine};
    HDC dc = nullptr;
    HFONT baseFont = nullptr;
    HGDIOBJ stockFont = nullptr;
    int openBefore = 0;
    THTMLRender render;
};

using Strings = std::vector<WString>;

// ---------------------------------------------------------------- runs and folding

TEST_F(HTMLRenderTest, TagsSplitTheTextIntoRunsInTheDcFont) {
    Layout(WSTR("Hello <b>bold</b> world"));
    EXPECT_EQ(Texts(), (Strings{WSTR("Hello "), WSTR("bold"), WSTR(" world")}));
    EXPECT_EQ(Item(0).Font.Face, "Segoe UI");
    EXPECT_EQ(Item(0).Font.Height, -12);
    EXPECT_EQ(Item(0).Font.Color, kTextColor);
    EXPECT_EQ(Item(0).Font.Style, 0);
    EXPECT_EQ(Item(1).Font.Style, fsBold);
    EXPECT_EQ(Item(2).Font.Style, 0);
    EXPECT_EQ(Item(1).Width, Bold(WSTR("bold")));
    EXPECT_GT(Item(1).Width, Regular(WSTR("bold")));

    Layout(WSTR("<b>x</b>"));
    EXPECT_EQ(Texts(), (Strings{WSTR("x"), WSTR("")}));
    EXPECT_EQ(Item(1).Font.Style, 0) << "the trailing empty run has the restored font";

    Layout(WSTR(""));
    EXPECT_EQ(Texts(), (Strings{WSTR("")}));
}

TEST_F(HTMLRenderTest, WhitespaceFoldsToOneSpacePerRun) {
    Layout(WSTR("a \t\r\n b\tc\n"));
    EXPECT_EQ(Texts(), (Strings{WSTR("a b c ")}));
    Layout(WSTR("x<b>\n\n</b><i> \ty</i>"));
    EXPECT_EQ(Texts(), (Strings{WSTR("x"), WSTR(" "), WSTR(" y"), WSTR("")}));
    Layout(WSTR("a\u00A0\u00A0b"));
    EXPECT_EQ(Texts(), (Strings{WSTR("a\u00A0\u00A0b")})) << "only tab, line feed, return and space fold";
}

TEST_F(HTMLRenderTest, UnclosedTagEndsTheTextAndNothingIsAnEntity) {
    Layout(WSTR("a < b"));
    EXPECT_EQ(Texts(), (Strings{WSTR("a ")}));
    Layout(WSTR("&amp; &lt;"));
    EXPECT_EQ(Texts(), (Strings{WSTR("&amp; &lt;")}));
    Layout(WSTR("a > b"));
    EXPECT_EQ(Texts(), (Strings{WSTR("a > b")}));
}

// ---------------------------------------------------------------- tags

TEST_F(HTMLRenderTest, TagNamesIgnoreCaseAndMustStandAlone) {
    Layout(WSTR("<B>x</B><I>y</I><U>z</U>"));
    EXPECT_EQ(Item(0).Font.Style, fsBold);
    EXPECT_EQ(Item(1).Font.Style, fsItalic);
    EXPECT_EQ(Item(2).Font.Style, fsUnderline);

    Layout(WSTR("a<br/>b"));
    EXPECT_EQ(Texts(), (Strings{WSTR("a"), WSTR("b")}));
    EXPECT_EQ(Breaks(), (std::vector<int>{lbNone, lbNone})) << "br/ is not br";
    Layout(WSTR("a<br />b"));
    EXPECT_EQ(Breaks(), (std::vector<int>{lbHard, lbNone}));
    Layout(WSTR("a< BR >b<>c<blink>d<b x>e"));
    EXPECT_EQ(Texts(), (Strings{WSTR("a"), WSTR("b"), WSTR("c"), WSTR("d"), WSTR("e")}));
    EXPECT_EQ(Item(0).LineBreak, lbHard);
    EXPECT_EQ(Item(3).Font.Style, 0) << "unknown tags change nothing";
    EXPECT_EQ(Item(4).Font.Style, fsBold) << "attributes do not stop a tag";
}

TEST_F(HTMLRenderTest, LineBreaksEndTheLastRunOnce) {
    const int lineHeight = Metrics(-12).tmHeight;
    Layout(WSTR("a<br><br>b"));
    EXPECT_EQ(Breaks(), (std::vector<int>{lbHard, lbNone}));
    EXPECT_EQ(render.TextHeight, 2 * lineHeight);

    Layout(WSTR("<br>x"));
    EXPECT_EQ(Texts(), (Strings{WSTR("x")}));
    EXPECT_EQ(render.TextHeight, lineHeight);

    Layout(WSTR("x<br>"));
    EXPECT_EQ(Texts(), (Strings{WSTR("x"), WSTR("")}));
    EXPECT_EQ(render.TextHeight, 2 * lineHeight) << "the empty last line counts";

    render.InterlineSpacing = 3;
    Layout(WSTR("x<br>y"));
    EXPECT_EQ(render.TextHeight, 2 * (lineHeight + 3));
}

TEST_F(HTMLRenderTest, ClosingTagsUndoTheLatestSaveWhateverOpenedIt) {
    Layout(WSTR("<b><i>x</b>y</i>z</b>w"));
    EXPECT_EQ(Item(0).Font.Style, fsBold | fsItalic);
    EXPECT_EQ(Item(1).Font.Style, fsBold) << "the /b undid the i";
    EXPECT_EQ(Item(2).Font.Style, 0);
    EXPECT_EQ(Item(3).Font.Style, 0) << "a closing tag with nothing saved changes nothing";

    Layout(WSTR("go <a href=secure>activate now</a> back"));
    EXPECT_EQ(Item(1).Text, WSTR("activate now"));
    EXPECT_EQ(Item(1).Href, WSTR("secure"));
    EXPECT_EQ(Item(1).Font.Color, kLinkColor);
    EXPECT_EQ(Item(1).Font.Style, fsUnderline);
    EXPECT_TRUE(Item(2).Href.empty());
    EXPECT_EQ(Item(2).Font.Color, kTextColor);
    EXPECT_EQ(Item(2).Font.Style, 0);

    Layout(WSTR("<a href=x>l<b>m</a>n</a>o"));
    EXPECT_EQ(Item(1).Href, WSTR("x"));
    EXPECT_TRUE(Item(2).Href.empty()) << "/a ends the link";
    EXPECT_EQ(Item(2).Font.Style, fsUnderline) << "but it undid the b, not the a";
    EXPECT_EQ(Item(2).Font.Color, kLinkColor);
    EXPECT_EQ(Item(3).Font.Style, 0);

    Layout(WSTR("<a>text</a>"));
    EXPECT_TRUE(Item(0).Href.empty());
    EXPECT_EQ(Item(0).Font.Color, kLinkColor);
    EXPECT_EQ(Item(0).Font.Style, fsUnderline);
}

// ---------------------------------------------------------------- attributes

TEST_F(HTMLRenderTest, AttributeQuoting) {
    Layout(WSTR("<font \"face=Times New Roman\">a</font><font face=\"Times New Roman\">b"));
    EXPECT_EQ(Item(0).Font.Face, "Times New Roman");
    EXPECT_EQ(Item(1).Font.Face, "\"Times") << "a value quoted after = is split at its spaces";

    Layout(WSTR("<a href=\"secure\">a</a><a HREF=\"x\"\"y\">b</a><a href=\"open>c</a><a href= >d</a><a href=>e"));
    EXPECT_EQ(Item(0).Href, WSTR("secure"));
    EXPECT_EQ(Item(1).Href, WSTR("x\"y"));
    EXPECT_EQ(Item(2).Href, WSTR("\"open")) << "an unclosed quote stays";
    EXPECT_TRUE(Item(3).Href.empty());
    EXPECT_TRUE(Item(4).Href.empty());

    Layout(WSTR("<a x=1 href=first href=second>a"));
    EXPECT_EQ(Item(0).Href, WSTR("first"));
    Layout(WSTR("<a \"href=two words\" \"\">a"));
    EXPECT_EQ(Item(0).Href, WSTR("two words"));
    Layout(WSTR("<a href=\"q\"\"\"r>a"));
    EXPECT_EQ(Item(0).Href, WSTR("q\"")) << "the value ends at its closing quote";
}

TEST_F(HTMLRenderTest, FaceNamesReachGdiCutTo31Characters) {
    Layout(WSTR("<font face=\u65E5\u672C>a</font><font face=ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghij>b"));
    EXPECT_EQ(Item(0).Font.Face, "\xE6\x97\xA5\xE6\x9C\xAC");
    Draw();
    ASSERT_EQ(machine.gdi.texts.size(), 2u);
    EXPECT_EQ(WString(machine.gdi.texts[0].font.lfFaceName), WSTR("\u65E5\u672C"));
    EXPECT_EQ(WString(machine.gdi.texts[1].font.lfFaceName), WSTR("ABCDEFGHIJKLMNOPQRSTUVWXYZabcde"));
    EXPECT_EQ(machine.gdi.texts[1].font.lfCharSet, DEFAULT_CHARSET);
    EXPECT_EQ(machine.gdi.texts[1].font.lfPitchAndFamily, VARIABLE_PITCH);
}

TEST_F(HTMLRenderTest, FontSizesArePointsAtTheDcResolution) {
    Layout(WSTR("<font size=12>a</font><font size=0>b</font><font size=abc>c</font><font size=+1>d</font>"
                "<font size=-9>e</font><font size=$10>f"));
    EXPECT_EQ(Item(0).Font.Height, -16);
    EXPECT_EQ(Item(1).Font.Height, -12);
    EXPECT_EQ(Item(2).Font.Height, -12);
    EXPECT_EQ(Item(3).Font.Height, -1);
    EXPECT_EQ(Item(4).Font.Height, 12);
    EXPECT_EQ(Item(5).Font.Height, -21);
    EXPECT_EQ(Item(0).Height, Metrics(-16).tmHeight);

    machine.gdi.logPixelsY = 120;
    Layout(WSTR("<font size=12>a"));
    EXPECT_EQ(Item(0).Font.Height, -20);
    Layout(WSTR("<font size=99999999999>a</font><font size=2147483647>b"));
    EXPECT_EQ(Item(0).Font.Height, -12) << "not an integer";
    EXPECT_EQ(Item(1).Font.Height, 1) << "MulDiv overflow answers -1";
}

TEST_F(HTMLRenderTest, FontColoursAndLinkColours) {
    Layout(WSTR("<font color=red>a</font><font color=RED>b</font><font color=#FF0000>c</font>"
                "<font color=clRed>d</font><font color=$0000FF>e</font><font color=#F00>f</font>"
                "<font color=#GG0000>g</font><font color=\"navy\">h</font><a color=green>i</a><a color=bad>j"));
    const std::vector<COLORREF> expected = {0x0000FF, 0x0000FF, 0x0000FF, kTextColor, kTextColor,
                                            0xF0,     kTextColor, 0x800000, 0x008000,  kLinkColor};
    for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(Item(i).Font.Color, expected[i]) << "run " << i;
}

TEST(ParseColor, NamesHexAndDefaults) {
    const std::pair<const char16_t*, COLORREF> names[] = {
        {u"black", 0x000000},  {u"maroon", 0x000080}, {u"green", 0x008000}, {u"olive", 0x008080},
        {u"navy", 0x800000},   {u"purple", 0x800080}, {u"teal", 0x808000},  {u"gray", 0x808080},
        {u"silver", 0xC0C0C0}, {u"red", 0x0000FF},    {u"lime", 0x00FF00},  {u"yellow", 0x00FFFF},
        {u"blue", 0xFF0000},   {u"fuchsia", 0xFF00FF}, {u"aqua", 0xFFFF00}, {u"White", 0xFFFFFF},
    };
    for (const auto& [name, value] : names) EXPECT_EQ(ParseColor(name, 0x123456), value) << os::ToUtf8(name);
    EXPECT_EQ(ParseColor(WSTR(""), 0x123456), 0x123456u);
    EXPECT_EQ(ParseColor(WSTR("#"), 0x123456), 0x123456u);
    EXPECT_EQ(ParseColor(WSTR("#123456"), 0), 0x563412u);
    EXPECT_EQ(ParseColor(WSTR("#abcdef99"), 0), 0xEFCDABu);
    EXPECT_EQ(ParseColor(WSTR("#12"), 0), 0x12u);
    EXPECT_EQ(ParseColor(WSTR("#-12"), 7), 7u);
    EXPECT_EQ(ParseColor(WSTR("orange"), 7), 7u);
    EXPECT_EQ(ParseColor(WSTR("16711680"), 7), 7u) << "numbers get the cl prefix too";
}

// ---------------------------------------------------------------- wrapping

TEST_F(HTMLRenderTest, WrapsAtWordsDroppingTheSpaceAtTheSplit) {
    const int width = Regular(WSTR("aaa bbb"));
    Layout(WSTR("aaa bbb ccc ddd"), width);
    EXPECT_EQ(Texts(), (Strings{WSTR("aaa bbb"), WSTR("ccc ddd")}));
    EXPECT_EQ(Breaks(), (std::vector<int>{lbWrap, lbNone}));
    EXPECT_EQ(Item(0).Width, width);
    EXPECT_EQ(render.TextHeight, 2 * Metrics(-12).tmHeight);

    Layout(WSTR("aaa bbb ccc ddd"), width - 1);
    EXPECT_EQ(Texts(), (Strings{WSTR("aaa"), WSTR("bbb"), WSTR("ccc"), WSTR("ddd")}));

    Layout(WSTR("aaa <b>bbbbbbb</b>"), Bold(WSTR("bbbbbbb")));
    EXPECT_EQ(Texts(), (Strings{WSTR("aaa "), WSTR("bbbbbbb"), WSTR("")}))
        << "a space at the end of a run that ends a line stays";
    EXPECT_EQ(Breaks(), (std::vector<int>{lbWrap, lbNone, lbNone}));
}

TEST_F(HTMLRenderTest, SplitsWordsWiderThanTheLine) {
    const int width = Regular(WSTR("abcd"));
    Layout(WSTR("abcdefghij"), width);
    EXPECT_EQ(Texts(), (Strings{WSTR("abcd"), WSTR("efgh"), WSTR("ij")}));
    Layout(WSTR("ab abcdefghij"), width);
    EXPECT_EQ(Texts(), (Strings{WSTR("ab"), WSTR("abcd"), WSTR("efgh"), WSTR("ij")}));

    // A word that fits a line of its own, after what the line holds, takes
    // the whole run to the next line; one wider than the line is then split.
    const int boldWidth = Bold(WSTR("yyyy"));
    Layout(WSTR("xx<b>yyyy zz</b>"), boldWidth + 1);
    EXPECT_EQ(Texts(), (Strings{WSTR("xx"), WSTR("yyyy"), WSTR("zz"), WSTR("")}));
    EXPECT_EQ(Breaks(), (std::vector<int>{lbWrap, lbWrap, lbNone, lbNone}));
    Layout(WSTR("xx<b>yyyyyyyy</b>"), boldWidth);
    EXPECT_EQ(Texts(), (Strings{WSTR("xx"), WSTR("yyyy"), WSTR("yyyy"), WSTR("")}));
    EXPECT_EQ(Item(1).Font.Style, fsBold);
    EXPECT_EQ(Item(2).Font.Style, fsBold) << "a split run keeps its font";
}

TEST_F(HTMLRenderTest, NarrowWidthsKeepOneCharacterPerLine) {
    for (int width : {0, -7, 1}) {
        Layout(WSTR("ab c<b>d</b>"), width);
        EXPECT_EQ(Texts(), (Strings{WSTR("a"), WSTR("b"), WSTR("c"), WSTR("d"), WSTR("")})) << "width " << width;
        EXPECT_EQ(Breaks(), (std::vector<int>{lbWrap, lbWrap, lbWrap, lbWrap, lbNone})) << "width " << width;
    }
    Layout(WSTR(" "), -1);
    EXPECT_EQ(Texts(), (Strings{WSTR(""), WSTR("")})) << "the space moved on and was dropped";
}

TEST_F(HTMLRenderTest, SplitRunsKeepTheirLinkAndEndTheirLines) {
    Layout(WSTR("<a href=go>one two</a><br>three"), Regular(WSTR("three")));
    EXPECT_EQ(Texts(), (Strings{WSTR("one"), WSTR("two"), WSTR("three")}));
    EXPECT_EQ(Item(1).Href, WSTR("go"));
    EXPECT_EQ(Item(1).Font.Color, kLinkColor);
    EXPECT_EQ(Breaks(), (std::vector<int>{lbWrap, lbHard, lbNone})) << "the last piece keeps the br";
}

TEST_F(HTMLRenderTest, TextHeightCountsATallerRunTwiceWhenItWrapsWhole) {
    const int small = Metrics(-12).tmHeight;
    const int tall = Metrics(-27).tmHeight;
    const int tallWidth = SimGdi::TextWidth(LogFont(u"Segoe UI", -27), WSTR("BBBB"));
    Layout(WSTR("aa<font size=20>BBBB</font>"), tallWidth + 1);
    EXPECT_EQ(Texts(), (Strings{WSTR("aa"), WSTR("BBBB"), WSTR("")}));
    EXPECT_EQ(render.TextHeight, 2 * tall) << "the first line is counted at the taller height";

    Draw(RECT{0, 0, tallWidth + 1, 500});
    EXPECT_EQ(Item(1).Rect.top, small) << "drawing uses the true height of the first line";
}

TEST_F(HTMLRenderTest, FastWrappingMatchesTheLiteralAlgorithm) {
    std::mt19937 random(20240607);
    const std::vector<WString> pieces = {
        WSTR("a"), WSTR("word"), WSTR("Wide"), WSTR("iiii"), WSTR("supercalifragilistic"), WSTR(" "), WSTR("  "),
        WSTR("\n"), WSTR("<b>"), WSTR("</b>"), WSTR("<i>"), WSTR("</i>"), WSTR("<br>"), WSTR("<font size=20>"),
        WSTR("<font size=6>"), WSTR("</font>"), WSTR("<a href=x>"), WSTR("</a>"), WSTR("\u65E5\u672C\u8A9E"),
        WSTR("mmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmm")};
    for (int round = 0; round < 400; ++round) {
        WString text;
        const int count = std::uniform_int_distribution<int>(0, 40)(random);
        for (int i = 0; i < count; ++i) text += pieces[random() % pieces.size()];
        const int width = std::uniform_int_distribution<int>(-5, 260)(random);
        const int spacing = std::uniform_int_distribution<int>(0, 3)(random);

        render.InterlineSpacing = spacing;
        Layout(text, width);
        THTMLRender literal;
        literal.InterlineSpacing = spacing;
        literal.Parse(text, dc, kLinkColor);
        reference::WrapItems(literal, dc, width);

        const std::string context = os::ToUtf8(text) + " at width " + std::to_string(width);
        ASSERT_EQ(render.Items.Count(), literal.Items.Count()) << context;
        EXPECT_EQ(render.TextHeight, literal.TextHeight) << context;
        for (std::size_t i = 0; i < literal.Items.Count(); ++i) {
            const THTMLRenderItem& fast = render.Items[i];
            const THTMLRenderItem& slow = literal.Items[i];
            ASSERT_EQ(fast.Text, slow.Text) << context << ", run " << i;
            EXPECT_EQ(fast.LineBreak, slow.LineBreak) << context << ", run " << i;
            EXPECT_EQ(fast.Width, slow.Width) << context << ", run " << i;
            EXPECT_EQ(fast.Height, slow.Height) << context << ", run " << i;
            EXPECT_EQ(fast.Ascent, slow.Ascent) << context << ", run " << i;
            EXPECT_EQ(fast.Href, slow.Href) << context << ", run " << i;
            EXPECT_EQ(fast.Font.Height, slow.Font.Height) << context << ", run " << i;
            EXPECT_EQ(fast.Font.Style, slow.Font.Style) << context << ", run " << i;
        }
    }
}

// ---------------------------------------------------------------- justification

TEST(SpaceShare, SharesAddUpOnePixelShort) {
    EXPECT_EQ(SpaceShare(0, 3, 11), 3);
    EXPECT_EQ(SpaceShare(1, 3, 11), 3);
    EXPECT_EQ(SpaceShare(2, 3, 11), 4);
    EXPECT_EQ(SpaceShare(0, 0, 11), 0);
    EXPECT_EQ(SpaceShare(0, 4, 12) + SpaceShare(1, 4, 12) + SpaceShare(2, 4, 12) + SpaceShare(3, 4, 12), 12);
    // 8 over 6: the fraction 1/3 makes k = 3 the one space with an extra
    // pixel, which rounded floating point would miss.
    int total = 0;
    for (int k = 0; k < 6; ++k) total += SpaceShare(k, 6, 8);
    EXPECT_EQ(total, 7);
    EXPECT_EQ(SpaceShare(3, 6, 8), 2);
    EXPECT_EQ(SpaceShare(1, 3, -4), -1);
    EXPECT_EQ(SpaceShare(2, 3, -4), -1);
}

TEST_F(HTMLRenderTest, JustifiedLinesShareTheExtraAmongTheirSpaces) {
    const int lineWidth = Regular(WSTR("aa bb cc dd"));
    const int width = lineWidth + 11;
    Layout(WSTR("aa bb cc dd eeee<br>ff gg hh"), width, true);
    EXPECT_EQ(Texts(), (Strings{WSTR("aa bb cc dd"), WSTR("eeee"), WSTR("ff gg hh")}));
    EXPECT_EQ(Item(0).SpaceExtra, (std::vector<int32_t>{0, 0, 4, 0, 0, 3, 0, 0, 3, 0, 0}));
    EXPECT_TRUE(Item(1).SpaceExtra.empty()) << "a line ended by br is not stretched";
    EXPECT_TRUE(Item(2).SpaceExtra.empty()) << "the last line is not stretched";

    Draw(RECT{0, 0, width, 500});
    ASSERT_GE(machine.gdi.texts.size(), 1u);
    int end = machine.gdi.texts[0].x;
    for (int advance : machine.gdi.texts[0].advances) end += advance;
    EXPECT_EQ(end, width - 1) << "a justified line ends one pixel short";
}

TEST_F(HTMLRenderTest, JustificationSpansTheRunsOfALineAndDropsTrailingSpaces) {
    const int width = Regular(WSTR("a b ")) + Bold(WSTR("c d")) + 5;
    Layout(WSTR("a b <b>c d xxx</b>"), width, true);
    EXPECT_EQ(Texts(), (Strings{WSTR("a b "), WSTR("c d"), WSTR("xxx"), WSTR("")}));
    // Three spaces, 5 pixels: from the right 1, 1, 2.
    EXPECT_EQ(Item(1).SpaceExtra, (std::vector<int32_t>{0, 1, 0}));
    EXPECT_EQ(Item(0).SpaceExtra, (std::vector<int32_t>{0, 2, 0, 1}));
    Draw(RECT{0, 0, width, 500});
    EXPECT_EQ(Item(0).Rect.right, Regular(WSTR("a b "))) << "the hit area leaves out the extras";
    EXPECT_EQ(Item(1).Rect.left, Regular(WSTR("a b ")) + 3) << "the next run starts after them";

    Layout(WSTR("tail <br>next "), 1000, true);
    EXPECT_EQ(Texts(), (Strings{WSTR("tail"), WSTR("next ")})) << "the last line keeps its trailing space";
    EXPECT_EQ(Item(0).Width, Regular(WSTR("tail")));
    Layout(WSTR("tail <br>next "), 1000, false);
    EXPECT_EQ(Item(0).Text, WSTR("tail "));
}

// ---------------------------------------------------------------- drawing

TEST_F(HTMLRenderTest, RunsOfDifferentSizesShareOneBaseline) {
    const TEXTMETRICW small = Metrics(-12);
    const TEXTMETRICW tall = Metrics(-27);
    render.InterlineSpacing = 2;
    Layout(WSTR("a<font size=20>B</font>c<br>d"));
    EXPECT_EQ(render.Items[0].Rect.right, 0) << "no Rect before drawing";
    Draw(RECT{10, 20, 1000, 500});
    const int baseline = 20 + tall.tmAscent;
    const int wa = Regular(WSTR("a"));
    const int wb = SimGdi::TextWidth(LogFont(u"Segoe UI", -27), WSTR("B"));
    EXPECT_EQ(Item(0).Rect.left, 10);
    EXPECT_EQ(Item(0).Rect.top, baseline - small.tmAscent);
    EXPECT_EQ(Item(0).Rect.right, 10 + wa);
    EXPECT_EQ(Item(0).Rect.bottom, baseline);
    EXPECT_EQ(Item(1).Rect.left, 10 + wa);
    EXPECT_EQ(Item(1).Rect.top, 20);
    EXPECT_EQ(Item(1).Rect.bottom, baseline);
    EXPECT_EQ(Item(2).Rect.left, 10 + wa + wb);
    EXPECT_EQ(Item(2).Rect.bottom, baseline);
    const int secondLine = 20 + tall.tmHeight + 2;
    EXPECT_EQ(Item(3).Rect.left, 10);
    EXPECT_EQ(Item(3).Rect.top, secondLine);
    EXPECT_EQ(Item(3).Rect.bottom, secondLine + small.tmAscent);

    ASSERT_EQ(machine.gdi.texts.size(), 4u);
    const os::sim::DrawnText& a = machine.gdi.texts[0];
    EXPECT_EQ(a.text, WSTR("a"));
    EXPECT_EQ(a.x, 10);
    EXPECT_EQ(a.y, baseline - small.tmAscent);
    EXPECT_EQ(a.color, kTextColor);
    EXPECT_EQ(a.bkMode, TRANSPARENT);
    EXPECT_EQ(a.mapMode, MM_TEXT);
    EXPECT_FALSE(a.clipRect);
    EXPECT_EQ(machine.gdi.texts[1].font.lfHeight, -27);
    EXPECT_EQ(machine.GetTextColor(dc), kTextColor) << "drawing leaves the DC's colour";
    EXPECT_TRUE(machine.gdi.fills.empty()) << "transparent";
}

TEST_F(HTMLRenderTest, DrawsInEachRunsColourWithItsAdvances) {
    Layout(WSTR("ab <a href=x>cd</a><font color=red>ef</font>"));
    Draw(RECT{0, 0, 1000, 500}, true, false);
    ASSERT_EQ(machine.gdi.fills.size(), 1u);
    EXPECT_EQ(machine.gdi.fills[0].color, RGB(255, 255, 221));
    EXPECT_EQ(machine.gdi.fills[0].rect.right, 1000);
    ASSERT_EQ(machine.gdi.texts.size(), 3u);
    EXPECT_EQ(machine.gdi.texts[0].advances,
              (std::vector<int>{Regular(WSTR("a")), Regular(WSTR("b")), Regular(WSTR(" "))}));
    EXPECT_EQ(machine.gdi.texts[1].color, kLinkColor);
    EXPECT_EQ(machine.gdi.texts[1].font.lfUnderline, 1);
    EXPECT_EQ(machine.gdi.texts[2].color, RGB(255, 0, 0));
    EXPECT_EQ(machine.gdi.texts[2].x, Regular(WSTR("ab ")) + Regular(WSTR("cd")));
}

TEST_F(HTMLRenderTest, DisabledTextIsEmbossedInTheTwoSystemColours) {
    machine.gdi.sysColors[COLOR_BTNHIGHLIGHT] = RGB(250, 250, 250);
    machine.gdi.sysColors[COLOR_BTNSHADOW] = RGB(128, 128, 128);
    Layout(WSTR("x <a href=y>link</a><font color=red>z"));
    Draw(RECT{5, 6, 1000, 500}, false);
    ASSERT_EQ(machine.gdi.texts.size(), 6u);
    for (std::size_t run = 0; run < 3; ++run) {
        const os::sim::DrawnText& light = machine.gdi.texts[2 * run];
        const os::sim::DrawnText& dark = machine.gdi.texts[2 * run + 1];
        EXPECT_EQ(light.color, RGB(250, 250, 250)) << "run " << run;
        EXPECT_EQ(dark.color, RGB(128, 128, 128)) << "run " << run;
        EXPECT_EQ(light.x, Item(run).Rect.left + 1);
        EXPECT_EQ(light.y, Item(run).Rect.top + 1);
        EXPECT_EQ(dark.x, Item(run).Rect.left);
        EXPECT_EQ(dark.y, Item(run).Rect.top);
        EXPECT_EQ(light.text, dark.text);
    }
    EXPECT_EQ(machine.GetTextColor(dc), kTextColor);
}

// ---------------------------------------------------------------- hit-testing

TEST_F(HTMLRenderTest, ItemAtHitsTheMeasuredRunFromTopToBaseline) {
    Layout(WSTR("go <a href=here>here</a>"));
    EXPECT_EQ(render.ItemAt(Regular(WSTR("go ")), 5), nullptr) << "nothing before the first Draw";
    Draw(RECT{0, 0, 1000, 500});
    const THTMLRenderItem& link = Item(1);
    const RECT r = link.Rect;
    EXPECT_EQ(render.ItemAt(r.left, r.top), &link);
    EXPECT_EQ(render.ItemAt(r.right - 1, r.bottom - 1), &link);
    EXPECT_EQ(render.ItemAt(r.left - 1, r.top), &Item(0));
    EXPECT_NE(render.ItemAt(r.right, r.top), &link);
    EXPECT_EQ(render.ItemAt(r.left, r.bottom), nullptr) << "descenders lie below the hit area";
    EXPECT_EQ(render.ItemAt(r.left, r.top - 1), nullptr);
    EXPECT_EQ(render.ItemAt(r.left, r.top)->Href, WSTR("here"));

    Layout(WSTR("go <a href=here>here</a>"));
    EXPECT_EQ(render.ItemAt(r.left, r.top), nullptr) << "a new layout has not been drawn";
}

// ---------------------------------------------------------------- failures and resources

TEST_F(HTMLRenderTest, EveryFontIsCreatedAndDeletedAroundOneUse) {
    machine.ClearCalls();
    Layout(WSTR("one <b>two</b> <i>three</i>"), 30, true);
    Draw();
    // From the calls: each font is selected right after its creation and
    // deleted, no longer selected, before the next one is created.
    int created = 0, deleted = 0;
    bool selecting = false;
    std::string live;  // the handle of the font between its creation and its deletion
    std::set<std::string> faces;
    for (const auto& call : machine.Calls()) {
        if (call.function == "CreateFontIndirectW") {
            EXPECT_TRUE(live.empty() && !selecting) << "a second font while one is alive";
            ++created;
            selecting = true;
            faces.insert(call.args);
        } else if (call.function == "SelectObject" && selecting) {
            live = call.args.substr(call.args.find(',') + 1);
            selecting = false;
        } else if (call.function == "SelectObject" && !live.empty()) {
            EXPECT_EQ(call.args.find(live), std::string::npos) << "the font was selected again";
        } else if (call.function == "DeleteObject" && !live.empty() && call.args == live) {
            ++deleted;
            live.clear();
        }
    }
    EXPECT_TRUE(live.empty()) << "the last font was not deleted";
    EXPECT_EQ(faces.size(), 2u) << "regular and bold weights";
    EXPECT_GE(created, 6) << "the drawing selects its fonts anew";
    EXPECT_EQ(deleted, created);
    EXPECT_EQ(machine.OpenHandles(), openBefore);
}

TEST_F(HTMLRenderTest, FailingGdiCallsDegradeWithoutLeaks) {
    machine.Fail("GetTextExtentPoint32W", ERROR_INVALID_PARAMETER);
    Layout(WSTR("abc def"), 10);
    EXPECT_EQ(Texts(), (Strings{WSTR("abc def")})) << "a failed measurement counts as width 0";
    EXPECT_EQ(Item(0).Width, 0);

    machine.Fail("GetTextExtentPoint32W", 0, 0, 0);
    machine.Fail("GetTextMetricsW", ERROR_INVALID_PARAMETER);
    Layout(WSTR("abc"));
    EXPECT_EQ(Item(0).Height, 0);
    EXPECT_EQ(render.TextHeight, 0);

    machine.Fail("GetTextMetricsW", 0, 0, 0);
    machine.Fail("CreateFontIndirectW", 0);
    machine.Fail("GetTextExtentExPointW", ERROR_INVALID_PARAMETER);
    Layout(WSTR("abc <b>def</b>"));
    EXPECT_EQ(Item(1).Width, Regular(WSTR("def"))) << "measured in the DC's own font";
    Draw();
    EXPECT_TRUE(machine.gdi.texts.empty());
}

// ---------------------------------------------------------------- what screen readers read

TEST_F(HTMLRenderTest, PlainTextAndLinksWithoutTheMarkup) {
    render.Parse(WSTR("  Relaxed mode is <b>only</b> for you<br>(<a href=\"relaxed\">activate\n now</a>). "
                      "<a href=\"x\">one</a><a href=\"x\"> two</a> <a href=\"y\">three</a>"),
                 dc, kLinkColor);
    EXPECT_EQ(render.PlainText(), WSTR("Relaxed mode is only for you (activate now). one two three"));
    const std::vector<THTMLRender::TItemRange> links = render.Links();
    ASSERT_EQ(links.size(), 3u) << "runs with the same target next to each other make one link";
    EXPECT_EQ(render.TextOf(links[0]), WSTR("activate now"));
    EXPECT_EQ(render.TextOf(links[1]), WSTR("one two"));
    EXPECT_EQ(render.TextOf(links[2]), WSTR("three"));
    EXPECT_EQ(render.Items[links[0].first].Href, WSTR("relaxed"));

    // Wrapped over lines a link stays one, with the blank where its line broke.
    Layout(WSTR("a <a href=\"z\">wrapped link</a>"), Regular(WSTR("a wrapped")) + 2);
    ASSERT_EQ(render.Links().size(), 1u);
    EXPECT_EQ(render.Links()[0].count, 2u);
    EXPECT_EQ(render.TextOf(render.Links()[0]), WSTR("wrapped link"));
    render.Parse(WSTR(""), dc, kLinkColor);
    EXPECT_EQ(render.PlainText(), WSTR(""));
    EXPECT_TRUE(render.Links().empty());
}

}  // namespace
