#pragma once
// A font description with its GDI font, made when first needed and again
// after every change. Heights are kept at 96 dpi (or in points) and the GDI
// font is made at the resolution of the window that uses it, so a font comes
// out the same whether a window starts at a resolution or moves to it.

#include "toolkit/Handles.h"
#include "toolkit/Types.h"

#include <functional>
#include <string>

namespace toolkit {

enum TFontStyle : unsigned { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
using TFontStyles = unsigned;

class TFont {
public:
    TFont();
    // Copies the description and resolution, not the GDI font or the change handler.
    TFont(const TFont& other);
    TFont& operator=(const TFont& other);
    void Assign(const TFont& other) { *this = other; }
    // The same description and resolution.
    bool operator==(const TFont& other) const;
    bool operator!=(const TFont& other) const { return !(*this == other); }

    const std::wstring& Name() const { return name_; }
    void SetName(const std::wstring& name);
    // Pixels at 96 dpi; negative: character height (as LOGFONT.lfHeight).
    int Height() const;
    void SetHeight(int height);
    // Points; a size set in points is made exactly so at every resolution.
    int Size() const;
    void SetSize(int points);
    // The resolution the GDI font is made for (the screen's at first).
    int PixelsPerInch() const { return pixelsPerInch_; }
    void SetPixelsPerInch(int pixelsPerInch);
    // The height of the GDI font in pixels.
    int PixelHeight() const;
    TFontStyles Style() const { return style_; }
    void SetStyle(TFontStyles style);
    BYTE Charset() const { return charset_; }
    void SetCharset(BYTE charset);
    TColor Color() const { return color_; }
    void SetColor(TColor color);

    HFONT Handle() const;

    std::function<void()> OnChange;

private:
    void Changed();

    std::wstring name_;
    int height_ = 0;  // at 96 dpi; used when points_ is 0
    int points_ = 0;
    int pixelsPerInch_;
    TFontStyles style_ = 0;
    BYTE charset_ = DEFAULT_CHARSET;
    TColor color_ = clWindowText;
    mutable GdiObject handle_;
};

// The face, size in points and character set every new font starts with.
struct TDefaultFont {
    std::wstring name;
    int size;
    BYTE charset;
};
TDefaultFont& DefaultFont();
// Pixels per logical inch of the screen, vertically.
int ScreenPixelsPerInch();

}  // namespace toolkit
