#include "toolkit/LabelText.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

using toolkit::BreakLines;
using Lines = std::vector<std::pair<os::WString, int>>;

// Every character 10 pixels wide; the lines as text and width.
Lines Break(const os::WString& text, int wrapWidth) {
    const std::vector<int> advances(text.size(), 10);
    Lines lines;
    for (const toolkit::TTextLine& line : BreakLines(text, advances, wrapWidth))
        lines.emplace_back(text.substr(line.first, line.count), line.width);
    return lines;
}

TEST(LabelText, LineFeedsEndLinesAndMeasureNothing) {
    EXPECT_EQ(Break(WSTR("ab\r\ncd\n\nef"), 0),
              (Lines{{WSTR("ab"), 20}, {WSTR("cd"), 20}, {WSTR(""), 0}, {WSTR("ef"), 20}}));
    EXPECT_EQ(Break(WSTR(""), 0), (Lines{{WSTR(""), 0}}));
    EXPECT_EQ(Break(WSTR("one two "), 0), (Lines{{WSTR("one two "), 80}})) << "unwrapped lines keep their spaces";
}

TEST(LabelText, WrappingBreaksAtTheLastSpaceThatFitsAndDropsTheSpacesThere) {
    EXPECT_EQ(Break(WSTR("one two three"), 75), (Lines{{WSTR("one two"), 70}, {WSTR("three"), 50}}));
    EXPECT_EQ(Break(WSTR("ab   cd"), 30), (Lines{{WSTR("ab"), 20}, {WSTR("cd"), 20}}));
    EXPECT_EQ(Break(WSTR("one two\nthree"), 200), (Lines{{WSTR("one two"), 70}, {WSTR("three"), 50}}));
}

TEST(LabelText, WordsWiderThanTheLineAreSplitAndEveryLineKeepsACharacter) {
    EXPECT_EQ(Break(WSTR("abcdefgh ij"), 35),
              (Lines{{WSTR("abc"), 30}, {WSTR("def"), 30}, {WSTR("gh"), 20}, {WSTR("ij"), 20}}));
    EXPECT_EQ(Break(WSTR("a bc"), 5), (Lines{{WSTR("a"), 10}, {WSTR("b"), 10}, {WSTR("c"), 10}}));
}

TEST(LabelText, AccessKeyIsTheCharacterAfterTheFirstSingleAmpersand) {
    const toolkit::TShownCaption user = toolkit::ShownCaption(WSTR("&User name:"));
    EXPECT_EQ(user.text, WSTR("User name:"));
    EXPECT_EQ(user.accessKey, 0u);
    const toolkit::TShownCaption doubled = toolkit::ShownCaption(WSTR("R&&D &tools&"));
    EXPECT_EQ(doubled.text, WSTR("R&D tools&"));
    EXPECT_EQ(doubled.accessKey, 4u);
    EXPECT_EQ(toolkit::ShownCaption(WSTR("none && none")).accessKey, os::WString::npos);
}

}  // namespace
