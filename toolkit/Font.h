#pragma once
// A font description with its GDI font, made when first needed and again
// after every change.

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
    // Copies the description, not the GDI font or the change handler.
    TFont(const TFont& other);
    TFont& operator=(const TFont& other);
    void Assign(const TFont& other) { *this = other; }

    const std::wstring& Name() const { return name_; }
    void SetName(const std::wstring& name);
    // Pixels; negative: character height (as LOGFONT.lfHeight).
    int Height() const { return height_; }
    void SetHeight(int height);
    // Points at the screen's resolution.
    int Size() const;
    void SetSize(int points);
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
    int height_;
    TFontStyles style_ = 0;
    BYTE charset_ = DEFAULT_CHARSET;
    TColor color_ = clWindowText;
    mutable GdiObject handle_;
};

// The face, height and character set every new font starts with.
struct TDefaultFont {
    std::wstring name;
    int height;
    BYTE charset;
};
TDefaultFont& DefaultFont();
// Pixels per logical inch of the screen, vertically.
int ScreenPixelsPerInch();

}  // namespace toolkit
