#include "toolkit/Font.h"

#include "toolkit/DpiScale.h"

namespace toolkit {
namespace {

std::wstring DialogFontSubstitute() {
    wchar_t face[LF_FACESIZE] = {};
    DWORD size = sizeof(face);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes",
                     L"MS Shell Dlg 2", RRF_RT_REG_SZ, nullptr, face, &size) == ERROR_SUCCESS &&
        face[0] != 0)
        return face;
    return L"MS Sans Serif";
}

}  // namespace

int ScreenPixelsPerInch() {
    static const int dpi = [] {
        WindowDC screen;
        int value = GetDeviceCaps(screen.Get(), LOGPIXELSY);
        return value > 0 ? value : kDesignDpi;
    }();
    return dpi;
}

TDefaultFont& DefaultFont() {
    static TDefaultFont font{DialogFontSubstitute(), 8, DEFAULT_CHARSET};
    return font;
}

TFont::TFont()
    : name_(DefaultFont().name), points_(DefaultFont().size), pixelsPerInch_(ScreenPixelsPerInch()),
      charset_(DefaultFont().charset) {}

TFont::TFont(const TFont& other)
    : name_(other.name_), height_(other.height_), points_(other.points_), pixelsPerInch_(other.pixelsPerInch_),
      style_(other.style_), charset_(other.charset_), color_(other.color_) {}

TFont& TFont::operator=(const TFont& other) {
    if (this == &other) return *this;
    name_ = other.name_;
    height_ = other.height_;
    points_ = other.points_;
    pixelsPerInch_ = other.pixelsPerInch_;
    style_ = other.style_;
    charset_ = other.charset_;
    color_ = other.color_;
    Changed();
    return *this;
}

bool TFont::operator==(const TFont& other) const {
    return name_ == other.name_ && height_ == other.height_ && points_ == other.points_ &&
           pixelsPerInch_ == other.pixelsPerInch_ && style_ == other.style_ && charset_ == other.charset_ &&
           color_ == other.color_;
}

void TFont::SetName(const std::wstring& name) {
    if (name_ == name) return;
    name_ = name;
    Changed();
}

int TFont::Height() const { return points_ ? PointsToHeight(points_, kDesignDpi) : height_; }

void TFont::SetHeight(int height) {
    if (height_ == height && points_ == 0) return;
    height_ = height;
    points_ = 0;
    Changed();
}

int TFont::Size() const { return points_ ? points_ : HeightToPoints(height_, kDesignDpi); }

void TFont::SetSize(int points) {
    if (points_ == points) return;
    points_ = points;
    Changed();
}

void TFont::SetPixelsPerInch(int pixelsPerInch) {
    if (pixelsPerInch_ == pixelsPerInch || pixelsPerInch <= 0) return;
    pixelsPerInch_ = pixelsPerInch;
    Changed();
}

int TFont::PixelHeight() const {
    return points_ ? PointsToHeight(points_, pixelsPerInch_) : ScaleToDpi(height_, pixelsPerInch_);
}

void TFont::SetStyle(TFontStyles style) {
    if (style_ == style) return;
    style_ = style;
    Changed();
}

void TFont::SetCharset(BYTE charset) {
    if (charset_ == charset) return;
    charset_ = charset;
    Changed();
}

void TFont::SetColor(TColor color) {
    if (color_ == color) return;
    color_ = color;
    Changed();
}

HFONT TFont::Handle() const {
    if (!handle_) {
        LOGFONTW font{};
        font.lfHeight = PixelHeight();
        font.lfWeight = (style_ & fsBold) ? FW_BOLD : FW_NORMAL;
        font.lfItalic = (style_ & fsItalic) ? TRUE : FALSE;
        font.lfUnderline = (style_ & fsUnderline) ? TRUE : FALSE;
        font.lfStrikeOut = (style_ & fsStrikeOut) ? TRUE : FALSE;
        font.lfCharSet = charset_;
        font.lfQuality = DEFAULT_QUALITY;
        lstrcpynW(font.lfFaceName, name_.c_str(), LF_FACESIZE);
        handle_.Reset(CreateFontIndirectW(&font));
    }
    return static_cast<HFONT>(handle_.Get());
}

void TFont::Changed() {
    handle_.Reset();
    if (OnChange) OnChange();
}

}  // namespace toolkit
