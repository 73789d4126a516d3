// The colours windows paint: fixed ones, and what they give way to in high contrast.
#include "MachineTest.h"
#include "toolkit/Colors.h"

namespace {

using namespace toolkit;

class Colors : public MachineTest {
protected:
    // Windows' "High Contrast Black" scheme.
    void UseHighContrastBlack() {
        machine.gdi.sysColors = {{COLOR_WINDOW, RGB(0, 0, 0)},         {COLOR_WINDOWTEXT, RGB(255, 255, 255)},
                                 {COLOR_BTNFACE, RGB(0, 0, 0)},        {COLOR_BTNTEXT, RGB(255, 255, 255)},
                                 {COLOR_HOTLIGHT, RGB(255, 255, 0)},   {COLOR_GRAYTEXT, RGB(63, 242, 63)},
                                 {COLOR_INFOBK, RGB(0, 0, 0)},         {COLOR_INFOTEXT, RGB(255, 255, 254)},
                                 {COLOR_HIGHLIGHT, RGB(26, 235, 255)}, {COLOR_HIGHLIGHTTEXT, RGB(0, 0, 0)}};
        machine.highContrast = TRUE;
        SystemColorsChanged();
    }
};

TEST_F(Colors, FixedColoursStayOutsideHighContrastAndSystemColoursAreTheMachines) {
    machine.gdi.sysColors[COLOR_WINDOW] = RGB(1, 2, 3);
    const TColor panel = RGBColor(255, 255, 255);
    EXPECT_FALSE(HighContrast());
    EXPECT_EQ(ContrastColor(panel, TColorPart::Background), panel);
    EXPECT_EQ(ContrastColor(clMaroon, TColorPart::Text, clBtnFace), clMaroon);
    EXPECT_EQ(ContrastColor(clBlue, TColorPart::Link), clBlue);
    EXPECT_EQ(ColorToRGB(clWindow), RGB(1, 2, 3));
    EXPECT_EQ(ColorToRGB(RGBColor(153, 0, 0)), RGB(153, 0, 0));
}

TEST_F(Colors, NamesAreFoundIgnoringCaseAndAnUnknownNameIsRefused) {
    TColor color = clNone;
    EXPECT_TRUE(ColorFromName("clhotlight", color));
    EXPECT_EQ(color, clHotLight);
    EXPECT_FALSE(ColorFromName("clNoSuchColour", color));
    EXPECT_EQ(color, clHotLight);
}

TEST_F(Colors, InHighContrastEveryFixedColourGivesWayToTheSystemColourOfItsPart) {
    UseHighContrastBlack();
    ASSERT_TRUE(HighContrast());
    EXPECT_EQ(ContrastColor(RGBColor(255, 255, 221), TColorPart::Background), clWindow);
    EXPECT_EQ(ContrastColor(RGBColor(255, 204, 255), TColorPart::Tip), clInfoBk);
    EXPECT_EQ(ContrastColor(clBlue, TColorPart::Link), clHotLight);
    // Text takes the colour that goes with what it is drawn on.
    EXPECT_EQ(ContrastColor(clMaroon, TColorPart::Text, clBtnFace), clBtnText);
    EXPECT_EQ(ContrastColor(RGBColor(153, 0, 0), TColorPart::Text, clWindow), clWindowText);
    EXPECT_EQ(ContrastColor(clBlack, TColorPart::Text, clInfoBk), clInfoText);
    EXPECT_EQ(ContrastColor(clBlack, TColorPart::Text, clHighlight), clHighlightText);
    // The system's own colours and the special values stay.
    EXPECT_EQ(ContrastColor(clGrayText, TColorPart::Text, clWindow), clGrayText);
    EXPECT_EQ(ContrastColor(clBtnFace, TColorPart::Background), clBtnFace);
    EXPECT_EQ(ContrastColor(clNone, TColorPart::Background), clNone);
    EXPECT_EQ(ColorToRGB(ContrastColor(RGBColor(255, 255, 255), TColorPart::Background)), RGB(0, 0, 0));
}

TEST_F(Colors, HighContrastIsReadOnceUntilTheSystemColoursChange) {
    EXPECT_FALSE(HighContrast());
    machine.highContrast = TRUE;
    EXPECT_FALSE(HighContrast()) << "kept until told of a change";
    SystemColorsChanged();
    EXPECT_TRUE(HighContrast());
    EXPECT_EQ(machine.CountCalls("SystemParametersInfoW"), 2);
    EXPECT_NE(Args("SystemParametersInfoW").find("0x42,16,ptr"), std::string::npos) << Args("SystemParametersInfoW");

    machine.Fail("SystemParametersInfoW", ERROR_ACCESS_DENIED, 0, 1);
    SystemColorsChanged();
    EXPECT_FALSE(HighContrast()) << "a failed read counts as off";

    HIGHCONTRASTW contrast{};
    contrast.cbSize = sizeof(contrast);
    EXPECT_FALSE(machine.SystemParametersInfoW(SPI_GETHIGHCONTRAST, 4, &contrast, 0)) << "the size must be the structure's";
    EXPECT_EQ(machine.GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

}  // namespace
