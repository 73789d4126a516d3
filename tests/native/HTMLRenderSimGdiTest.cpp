// The GDI part of the seam as the markup renderer relies on it: Windows layouts
// of the structures, and the simulated GDI's objects, metrics and records.
#include "os/WinApi.h"
#include "os/sim/SimMachine.h"

#include <gtest/gtest.h>

#include <cstddef>

namespace {

TEST(GdiTypes, StructuresHaveWindowsLayouts) {
    EXPECT_EQ(sizeof(LOGFONTW), 92u);
    EXPECT_EQ(offsetof(LOGFONTW, lfWeight), 16u);
    EXPECT_EQ(offsetof(LOGFONTW, lfItalic), 20u);
    EXPECT_EQ(offsetof(LOGFONTW, lfCharSet), 23u);
    EXPECT_EQ(offsetof(LOGFONTW, lfPitchAndFamily), 27u);
    EXPECT_EQ(offsetof(LOGFONTW, lfFaceName), 28u);
    EXPECT_EQ(sizeof(TEXTMETRICW), 60u);
    EXPECT_EQ(offsetof(TEXTMETRICW, tmAscent), 4u);
    EXPECT_EQ(offsetof(TEXTMETRICW, tmFirstChar), 44u);
    EXPECT_EQ(offsetof(TEXTMETRICW, tmItalic), 52u);
    EXPECT_EQ(offsetof(TEXTMETRICW, tmCharSet), 56u);
    EXPECT_EQ(sizeof(RECT), 16u);
    EXPECT_EQ(offsetof(RECT, bottom), 12u);
    EXPECT_EQ(sizeof(SIZE), 8u);
    EXPECT_EQ(sizeof(POINT), 8u);
    EXPECT_EQ(sizeof(COLORREF), 4u);
    EXPECT_EQ(RGB(0x12, 0x34, 0x56), 0x563412u);
}

class SimGdiTest : public ::testing::Test {
protected:
    LOGFONTW Font(const char16_t* face, LONG height, LONG weight = FW_NORMAL) {
        LOGFONTW font{};
        font.lfHeight = height;
        font.lfWeight = weight;
        for (int i = 0; face[i] && i < LF_FACESIZE - 1; ++i) font.lfFaceName[i] = static_cast<WCHAR>(face[i]);
        return font;
    }
    int Extent(HDC dc, const os::WString& text) {
        SIZE size{};
        EXPECT_TRUE(machine.GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size));
        return size.cx;
    }

    os::sim::SimMachine machine;
    os::ScopedMachine scope{machine};
};

TEST_F(SimGdiTest, MetricsDependOnFaceHeightAndWeight) {
    HDC dc = machine.CreateCompatibleDC(nullptr);
    const os::WString text = WSTR("Hello, world");
    const LOGFONTW regular = Font(u"Segoe UI", -12);
    HFONT fonts[] = {machine.CreateFontIndirectW(&regular), nullptr, nullptr, nullptr};
    const LOGFONTW bold = Font(u"Segoe UI", -12, FW_BOLD);
    const LOGFONTW taller = Font(u"Segoe UI", -16);
    const LOGFONTW other = Font(u"Tahoma", -12);
    fonts[1] = machine.CreateFontIndirectW(&bold);
    fonts[2] = machine.CreateFontIndirectW(&taller);
    fonts[3] = machine.CreateFontIndirectW(&other);
    int widths[4];
    TEXTMETRICW metrics[4];
    HGDIOBJ stock = machine.SelectObject(dc, fonts[0]);
    for (int i = 0; i < 4; ++i) {
        machine.SelectObject(dc, fonts[i]);
        widths[i] = Extent(dc, text);
        ASSERT_TRUE(machine.GetTextMetricsW(dc, &metrics[i]));
    }
    EXPECT_GT(widths[1], widths[0]);
    EXPECT_GT(widths[2], widths[0]);
    EXPECT_NE(widths[3], widths[0]);
    EXPECT_EQ(metrics[0].tmHeight, metrics[1].tmHeight);
    EXPECT_GT(metrics[2].tmHeight, metrics[0].tmHeight);
    EXPECT_EQ(metrics[0].tmAscent + metrics[0].tmDescent, metrics[0].tmHeight);
    EXPECT_EQ(metrics[1].tmWeight, FW_BOLD);

    // The extent is the sum of the characters' advances, and the partial
    // extents agree with it.
    machine.SelectObject(dc, fonts[0]);
    EXPECT_EQ(Extent(dc, WSTR("Hello,")) + Extent(dc, WSTR(" world")), widths[0]);
    int fit = -1;
    int partial[12];
    SIZE size{};
    ASSERT_TRUE(machine.GetTextExtentExPointW(dc, text.c_str(), 12, Extent(dc, WSTR("Hello")), &fit, partial, &size));
    EXPECT_EQ(fit, 5);
    EXPECT_EQ(partial[4], Extent(dc, WSTR("Hello")));
    EXPECT_EQ(partial[11], widths[0]);
    EXPECT_EQ(size.cx, widths[0]);

    machine.SelectObject(dc, stock);
    for (HFONT font : fonts) EXPECT_TRUE(machine.DeleteObject(font));
    EXPECT_TRUE(machine.DeleteDC(dc));
    EXPECT_EQ(machine.OpenHandles(), 0);
}

TEST_F(SimGdiTest, ObjectsAndDcsCountAsOpenHandlesUntilDeleted) {
    HDC dc = machine.CreateCompatibleDC(nullptr);
    const LOGFONTW logFont = Font(u"Arial", -12);
    HFONT font = machine.CreateFontIndirectW(&logFont);
    HBRUSH brush = machine.CreateSolidBrush(RGB(1, 2, 3));
    EXPECT_EQ(machine.OpenHandles(), 3);

    HGDIOBJ previous = machine.SelectObject(dc, font);
    EXPECT_FALSE(machine.DeleteObject(font)) << "a selected font cannot be deleted";
    EXPECT_EQ(machine.GetCurrentObject(dc, OBJ_FONT), font);
    LOGFONTW read{};
    EXPECT_EQ(machine.GetObjectW(font, sizeof read, &read), static_cast<int>(sizeof read));
    EXPECT_EQ(read.lfHeight, -12);
    machine.SelectObject(dc, previous);
    EXPECT_TRUE(machine.DeleteObject(font));
    EXPECT_FALSE(machine.DeleteObject(font));

    RECT rect{1, 2, 30, 40};
    EXPECT_NE(machine.FillRect(dc, &rect, brush), 0);
    ASSERT_EQ(machine.gdi.fills.size(), 1u);
    EXPECT_EQ(machine.gdi.fills[0].color, RGB(1, 2, 3));
    EXPECT_EQ(machine.gdi.fills[0].rect.right, 30);
    EXPECT_TRUE(machine.DeleteObject(brush));
    EXPECT_TRUE(machine.DeleteDC(dc));
    EXPECT_EQ(machine.OpenHandles(), 0);
}

TEST_F(SimGdiTest, DcStateAndDeviceCaps) {
    HDC dc = machine.CreateCompatibleDC(nullptr);
    EXPECT_EQ(machine.GetDeviceCaps(dc, LOGPIXELSY), 96);
    machine.gdi.logPixelsY = 120;
    EXPECT_EQ(machine.GetDeviceCaps(dc, LOGPIXELSY), 120);
    EXPECT_EQ(machine.SetTextColor(dc, RGB(9, 8, 7)), RGB(0, 0, 0));
    EXPECT_EQ(machine.GetTextColor(dc), RGB(9, 8, 7));
    EXPECT_EQ(machine.SetBkMode(dc, TRANSPARENT), OPAQUE);
    EXPECT_EQ(machine.SetMapMode(dc, MM_TEXT), MM_TEXT);

    const INT advances[] = {5, 6};
    EXPECT_TRUE(machine.ExtTextOutW(dc, 3, 4, 0, nullptr, WSTR("ab"), 2, advances));
    ASSERT_EQ(machine.gdi.texts.size(), 1u);
    const os::sim::DrawnText& drawn = machine.gdi.texts[0];
    EXPECT_EQ(drawn.text, WSTR("ab"));
    EXPECT_EQ(drawn.advances, (std::vector<int>{5, 6}));
    EXPECT_EQ(drawn.color, RGB(9, 8, 7));
    EXPECT_EQ(drawn.bkMode, TRANSPARENT);
    EXPECT_EQ(drawn.x, 3);
    EXPECT_EQ(drawn.y, 4);

    EXPECT_EQ(machine.GetSysColor(COLOR_BTNSHADOW), RGB(160, 160, 160));
    EXPECT_EQ(machine.MulDiv(12, 96, 72), 16);
    EXPECT_EQ(machine.MulDiv(-3, 1, 2), -2) << "half rounds away from zero";
    EXPECT_EQ(machine.MulDiv(1, 1, 0), -1);
    EXPECT_EQ(machine.MulDiv(0x7FFFFFFF, 2, 1), -1);
    EXPECT_TRUE(machine.DeleteDC(dc));
}

TEST_F(SimGdiTest, InjectedFailures) {
    HDC dc = machine.CreateCompatibleDC(nullptr);
    machine.Fail("GetTextExtentPoint32W", ERROR_INVALID_PARAMETER, 0, 1);
    SIZE size{};
    EXPECT_FALSE(machine.GetTextExtentPoint32W(dc, WSTR("x"), 1, &size));
    EXPECT_TRUE(machine.GetTextExtentPoint32W(dc, WSTR("x"), 1, &size));
    machine.Fail("CreateFontIndirectW", 0);
    const LOGFONTW logFont = Font(u"Arial", -12);
    EXPECT_EQ(machine.CreateFontIndirectW(&logFont), nullptr);
    EXPECT_TRUE(machine.DeleteDC(dc));
    EXPECT_EQ(machine.OpenHandles(), 0);
}

}  // namespace
