// The markup renderer on real GDI through the forwarding machine: the same
// code as on the simulated one, measuring and drawing with Windows fonts.
#include "os/WinApi.h"
#include "widgets/HTMLRender.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

using widgets::THTMLRender;

class HTMLRenderGdiTest : public ::testing::Test {
protected:
    void SetUp() override {
        dc = CreateCompatibleDC(nullptr);
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = kWidth;
        info.bmiHeader.biHeight = -kHeight;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&pixels), nullptr, 0);
        oldBitmap = SelectObject(dc, bitmap);
        font = CreateFontW(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, VARIABLE_PITCH, L"Tahoma");
        oldFont = SelectObject(dc, font);
        SetTextColor(dc, RGB(0, 0, 0));
        objectsBefore = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    }
    void TearDown() override {
        SelectObject(dc, oldFont);
        SelectObject(dc, oldBitmap);
        DeleteObject(font);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    int Width(const wchar_t* text) {
        SIZE size{};
        GetTextExtentPoint32W(dc, text, lstrlenW(text), &size);
        return size.cx;
    }
    bool InkIn(const RECT& rect) const {
        for (LONG y = rect.top; y < rect.bottom; ++y)
            for (LONG x = rect.left; x < rect.right; ++x)
                if ((pixels[y * kWidth + x] & 0xFFFFFF) != 0xFFFFFF) return true;
        return false;
    }

    static constexpr int kWidth = 300;
    static constexpr int kHeight = 120;
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ oldBitmap = nullptr;
    HFONT font = nullptr;
    HGDIOBJ oldFont = nullptr;
    DWORD* pixels = nullptr;
    DWORD objectsBefore = 0;
    THTMLRender render;
};

TEST_F(HTMLRenderGdiTest, LaysOutAndDrawsWithWindowsFonts) {
    render.Layout(L"Hello <b>bold</b> <a href=\"go\">link</a>", dc, RGB(0, 0, 255), false,
                  RECT{0, 0, kWidth, kHeight});
    ASSERT_EQ(render.Items.Count(), 5u);
    EXPECT_EQ(render.Items[0].Font.Face, "Tahoma");
    EXPECT_EQ(render.Items[0].Width, Width(L"Hello "));
    HFONT bold = CreateFontW(-12, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, VARIABLE_PITCH, L"Tahoma");
    SelectObject(dc, bold);
    const int boldWidth = Width(L"bold");
    SelectObject(dc, font);
    DeleteObject(bold);
    EXPECT_EQ(render.Items[1].Width, boldWidth) << "measured in the bold font";
    EXPECT_GT(render.TextHeight, 0);

    render.Draw(dc, RECT{0, 0, kWidth, kHeight}, RGB(255, 255, 255), true, false);
    const RECT link = render.Items[3].Rect;
    EXPECT_EQ(link.left, Width(L"Hello ") + render.Items[1].Width + Width(L" "));
    EXPECT_TRUE(InkIn(link));
    EXPECT_FALSE(InkIn(RECT{0, render.TextHeight + 2, kWidth, kHeight})) << "nothing below the text";
    ASSERT_NE(render.ItemAt(link.left + 1, link.top + 1), nullptr);
    EXPECT_EQ(render.ItemAt(link.left + 1, link.top + 1)->Href, L"go");
    EXPECT_EQ(GetCurrentObject(dc, OBJ_FONT), font) << "the DC's font is back";
    EXPECT_EQ(GetTextColor(dc), RGB(0, 0, 0));
    EXPECT_LE(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), objectsBefore);
}

TEST_F(HTMLRenderGdiTest, WrapsToTheWidthOfTheRectangle) {
    const int width = Width(L"one two");
    render.Layout(L"one two three four", dc, RGB(0, 0, 255), false, RECT{0, 0, width, kHeight});
    ASSERT_GE(render.Items.Count(), 2u);
    EXPECT_EQ(render.Items[0].Text, L"one two");
    EXPECT_EQ(render.Items[0].LineBreak, widgets::lbWrap);
    for (std::size_t i = 0; i < render.Items.Count(); ++i) EXPECT_LE(render.Items[i].Width, width);
}

// A hinted glyph drawn wider than its measured advance ("w" in Wine's stand-in
// for the dialog font) covers the space after it and runs the words together.
TEST_F(HTMLRenderGdiTest, TheDialogFontKeepsTheSpaceAfterAWordBlank) {
    HFONT dialog = CreateFontW(-11, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, VARIABLE_PITCH, L"Tahoma");
    SelectObject(dc, dialog);
    render.Layout(L"you know it", dc, RGB(0, 0, 255), false, RECT{0, 0, kWidth, kHeight});
    render.Draw(dc, RECT{0, 0, kWidth, kHeight}, RGB(255, 255, 255), true, false);
    const RECT space{Width(L"you know"), 0, Width(L"you know "), render.TextHeight};
    SelectObject(dc, font);
    DeleteObject(dialog);
    EXPECT_LT(space.left, space.right);
    EXPECT_FALSE(InkIn(space)) << "ink between \"know\" and \"it\"";
}

}  // namespace
