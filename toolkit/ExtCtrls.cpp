#include "toolkit/ExtCtrls.h"

#include "os/Text.h"
#include "toolkit/Application.h"
#include "toolkit/DpiScale.h"
#include "toolkit/Font.h"
#include "toolkit/Layout.h"
#include "toolkit/LayoutReader.h"

#include <algorithm>
#include <map>

namespace toolkit {
namespace {

TBevelCut LayoutBevelCut(const LayoutProperty& p) {
    const std::string& cut = p.Identifier();
    if (cut == "none") return TBevelCut::bvNone;
    if (cut == "lowered") return TBevelCut::bvLowered;
    if (cut == "raised") return TBevelCut::bvRaised;
    p.Fail("expected none, lowered or raised");
}

void FillSolid(HDC dc, const RECT& rect, COLORREF color) {
    SetDCBrushColor(dc, color);
    FillRect(dc, &rect, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
}

std::map<UINT_PTR, TTimer*>& Timers() {
    static std::map<UINT_PTR, TTimer*> timers;
    return timers;
}

}  // namespace

// ---- TImage

TImage::TImage(TComponent* owner, TWinControl* parent) : TGraphicControl(owner) { SetParent(parent); }

void TImage::SetPicture(const Picture* picture) {
    if (!owned_ || picture != &*owned_) {
        owned_.reset();
        source_ = nullptr;
    }
    picture_ = picture;
    systemIcon_ = nullptr;
    icon_.Reset();
    AdjustSize();
    Invalidate();
}

void TImage::LoadPicture(TPictureSource source) {
    Picture picture = source(PixelsPerInch());
    SetPicture(nullptr);
    owned_ = std::move(picture);
    picture_ = &*owned_;
    source_ = std::move(source);
    AdjustSize();
    Invalidate();
}

void TImage::SetSystemIcon(const wchar_t* icon) {
    SetPicture(nullptr);
    systemIcon_ = icon;
    MakeIcon();
}

// LoadImage picks the image of the icon nearest to the size, so that 150 and
// 200 % get the system's 48 and 64 pixel images rather than a stretched 32.
void TImage::MakeIcon() {
    const int size = ScaleToDpi(UnscaleFromDpi(GetSystemMetrics(SM_CXICON), ScreenPixelsPerInch()), PixelsPerInch());
    icon_.Reset(static_cast<HICON>(LoadImageW(nullptr, systemIcon_, IMAGE_ICON, size, size, LR_DEFAULTCOLOR)));
    if (!icon_) icon_.Reset(CopyIcon(LoadIconW(nullptr, systemIcon_)));
    iconSize_ = size;
    AdjustSize();
    Invalidate();
}

void TImage::ScaleChanged(int pixelsPerInch) {
    if (source_) {
        owned_ = source_(pixelsPerInch);
        picture_ = &*owned_;
    } else if (systemIcon_) {
        MakeIcon();
    }
    TGraphicControl::ScaleChanged(pixelsPerInch);
}

SIZE TImage::ContentSize() const {
    if (icon_) return {iconSize_, iconSize_};
    if (picture_ && !picture_->Empty()) return {picture_->Width(), picture_->Height()};
    return {0, 0};
}

void TImage::AdjustSize() {
    if (!AutoSize()) return;
    SIZE size = ContentSize();
    if (size.cx > 0 && size.cy > 0) SetBounds(Left(), Top(), size.cx, size.cy);
}

void TImage::Paint(HDC dc) {
    SIZE size = ContentSize();
    if (size.cx <= 0 || size.cy <= 0) return;
    if (HighContrastPlate && HighContrast()) FillSolid(dc, BoundsRect(), RGB(255, 255, 255));
    RECT target{Left(), Top(), Left() + size.cx, Top() + size.cy};
    if (Stretch) {
        int width = Width();
        int height = Height();
        if (Proportional) {
            double scale = std::min(static_cast<double>(Width()) / size.cx, static_cast<double>(Height()) / size.cy);
            width = static_cast<int>(size.cx * scale);
            height = static_cast<int>(size.cy * scale);
        }
        target = {Left(), Top(), Left() + width, Top() + height};
    }
    if (Center) OffsetRect(&target, (Width() - (target.right - target.left)) / 2, (Height() - (target.bottom - target.top)) / 2);
    if (icon_) {
        DrawIconEx(dc, target.left, target.top, icon_.Get(), target.right - target.left, target.bottom - target.top, 0,
                   nullptr, DI_NORMAL);
        return;
    }
    if (target.right - target.left == size.cx && target.bottom - target.top == size.cy)
        picture_->Draw(dc, target.left, target.top);
    else
        picture_->Draw(dc, target.left, target.top, target.right - target.left, target.bottom - target.top);
}

bool TImage::ApplyLayoutProperty(const LayoutProperty& p, TLayoutContext& context) {
    if (os::EqualsIgnoringCase(p.name, "Stretch")) Stretch = p.Bool();
    else if (os::EqualsIgnoringCase(p.name, "HighContrastPlate")) HighContrastPlate = p.Bool();
    else if (os::EqualsIgnoringCase(p.name, "Proportional")) Proportional = p.Bool();
    else if (os::EqualsIgnoringCase(p.name, "Center")) Center = p.Bool();
    else return TGraphicControl::ApplyLayoutProperty(p, context);
    return true;
}

// ---- TPanel

TPanel::TPanel(TComponent* owner, TWinControl* parent) : TWinControl(owner) {
    SetParent(parent);
    TabStop = false;
    CreateHandle(nullptr, 0, WS_EX_CONTROLPARENT);
}

void TPanel::PaintWindow(HDC dc) {
    TWinControl::PaintWindow(dc);
    RECT frame{0, 0, ClientWidth(), ClientHeight()};
    if (BevelKind != TBevelKind::bkNone) {
        UINT flags = BF_RECT | (BevelKind == TBevelKind::bkSoft ? BF_SOFT : 0) | (BevelKind == TBevelKind::bkFlat ? BF_FLAT : 0);
        DrawEdge(dc, &frame, BevelInner == TBevelCut::bvLowered ? BDR_SUNKENINNER : BDR_RAISEDINNER, flags | BF_ADJUST);
    }
    if (BevelOuter != TBevelCut::bvNone)
        DrawEdge(dc, &frame, BevelOuter == TBevelCut::bvLowered ? BDR_SUNKENOUTER : BDR_RAISEDOUTER, BF_RECT | BF_ADJUST);
    if (BevelInner != TBevelCut::bvNone && BevelKind == TBevelKind::bkNone)
        DrawEdge(dc, &frame, BevelInner == TBevelCut::bvLowered ? BDR_SUNKENINNER : BDR_RAISEDINNER, BF_RECT | BF_ADJUST);
}

bool TPanel::ApplyLayoutProperty(const LayoutProperty& p, TLayoutContext& context) {
    auto is = [&p](const char* name) { return os::EqualsIgnoringCase(p.name, name); };
    if (is("BevelKind")) {
        const std::string& kind = p.Identifier();
        if (kind == "none") BevelKind = TBevelKind::bkNone;
        else if (kind == "soft") BevelKind = TBevelKind::bkSoft;
        else if (kind == "flat") BevelKind = TBevelKind::bkFlat;
        else if (kind == "tile") BevelKind = TBevelKind::bkTile;
        else p.Fail("expected none, soft, flat or tile");
    } else if (is("BevelInner")) {
        BevelInner = LayoutBevelCut(p);
    } else if (is("BevelOuter")) {
        BevelOuter = LayoutBevelCut(p);
    } else if (is("BorderWidth")) {
        BorderWidth = context.Scale(p.Int());
    } else {
        return TWinControl::ApplyLayoutProperty(p, context);
    }
    Invalidate();
    return true;
}

// ---- TScrollBox

TScrollBox::TScrollBox(TComponent* owner, TWinControl* parent) : TWinControl(owner) {
    SetParent(parent);
    TabStop = false;
    SetColor(clWindow);
    CreateHandle(nullptr, WS_VSCROLL, WS_EX_CONTROLPARENT | WS_EX_CLIENTEDGE);
    content_ = new TPanel(owner, this);
    content_->BevelOuter = TBevelCut::bvNone;
    UpdateScrollBar();
}

void TScrollBox::SetContentHeight(int height) {
    contentHeight_ = std::max(height, 0);
    UpdateScrollBar();
}

int TScrollBox::MaxPosition() const { return std::max(contentHeight_ - ClientHeight(), 0); }

void TScrollBox::ScrollTo(int position) {
    position_ = std::clamp(position, 0, MaxPosition());
    SCROLLINFO info{sizeof(info), SIF_POS, 0, 0, 0, position_, 0};
    SetScrollInfo(Handle(), SB_VERT, &info, TRUE);
    if (content_) content_->SetBounds(0, -position_, ClientWidth(), std::max(contentHeight_, ClientHeight()));
}

void TScrollBox::ScrollIntoView(const TControl& control) {
    int top = control.Top();
    for (const TControl* parent = control.Parent(); parent && parent != content_; parent = parent->Parent())
        top += parent->Top();
    const int bottom = top + control.Height();
    if (top < position_) ScrollTo(top);
    else if (bottom > position_ + ClientHeight()) ScrollTo(std::min(top, bottom - ClientHeight()));
}

void TScrollBox::ChildFocused(TWinControl& control) {
    if (&control != content_) ScrollIntoView(control);
    TWinControl::ChildFocused(control);
}

void TScrollBox::UpdateScrollBar() {
    SCROLLINFO info{sizeof(info), SIF_RANGE | SIF_PAGE | SIF_DISABLENOSCROLL, 0, std::max(contentHeight_ - 1, 0),
                    static_cast<UINT>(ClientHeight()), 0, 0};
    SetScrollInfo(Handle(), SB_VERT, &info, TRUE);
    ScrollTo(position_);
}

int TScrollBox::LineHeight() const { return std::max(Font().PixelHeight(), 1) * 2; }

void TScrollBox::Scroll(WORD request) {
    switch (request) {
        case SB_LINEUP: ScrollTo(position_ - LineHeight()); break;
        case SB_LINEDOWN: ScrollTo(position_ + LineHeight()); break;
        case SB_PAGEUP: ScrollTo(position_ - ClientHeight()); break;
        case SB_PAGEDOWN: ScrollTo(position_ + ClientHeight()); break;
        case SB_TOP: ScrollTo(0); break;
        case SB_BOTTOM: ScrollTo(MaxPosition()); break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: {
            // The 32-bit position: the message's own is 16 bits wide.
            SCROLLINFO info{sizeof(info), SIF_TRACKPOS, 0, 0, 0, 0, 0};
            if (GetScrollInfo(Handle(), SB_VERT, &info)) ScrollTo(info.nTrackPos);
            break;
        }
        default: break;
    }
}

LRESULT TScrollBox::WndProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_VSCROLL:
            Scroll(LOWORD(wParam));
            return 0;
        case WM_MOUSEWHEEL: {
            UINT lines = 3;
            SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
            if (lines == WHEEL_PAGESCROLL) lines = static_cast<UINT>(std::max(ClientHeight() / LineHeight(), 1));
            wheelRemainder_ += GET_WHEEL_DELTA_WPARAM(wParam);
            const int notches = wheelRemainder_ / WHEEL_DELTA;
            wheelRemainder_ -= notches * WHEEL_DELTA;
            ScrollTo(position_ - notches * static_cast<int>(lines) * LineHeight() / 2);
            return 0;
        }
        case WM_SIZE: {
            const LRESULT result = TWinControl::WndProc(message, wParam, lParam);
            UpdateScrollBar();
            return result;
        }
        default:
            return TWinControl::WndProc(message, wParam, lParam);
    }
}

// ---- TShape

TShape::TShape(TComponent* owner, TWinControl* parent) : TGraphicControl(owner) { SetParent(parent); }

// In high contrast a figure of a fixed colour keeps its shape by its outline:
// its fill takes the background colour and its outline, drawn even when the
// layout gives none, the text colour on that background.
void TShape::Paint(HDC dc) {
    RECT bounds = BoundsRect();
    TColor brush = BrushColor;
    TColor pen = PenColor;
    bool penClear = PenClear;
    if (!BrushClear && !IsSystemColor(BrushColor) && HighContrast()) {
        brush = ContrastColor(BrushColor, TColorPart::Background);
        pen = TextColorOn(brush);
        penClear = false;
    } else if (Parent()) {
        pen = ContrastColor(PenColor, TColorPart::Text, Parent()->EffectiveBackground());
    }
    if (Shape == TShapeType::stRectangle) {
        if (!BrushClear) FillSolid(dc, bounds, ColorToRGB(brush));
        if (penClear) return;
        SetDCBrushColor(dc, ColorToRGB(pen));
        FrameRect(dc, &bounds, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
        return;
    }
    SetDCBrushColor(dc, ColorToRGB(brush));
    SetDCPenColor(dc, ColorToRGB(pen));
    SelectedObject brushObject(dc, GetStockObject(BrushClear ? NULL_BRUSH : DC_BRUSH));
    SelectedObject penObject(dc, GetStockObject(penClear ? NULL_PEN : DC_PEN));
    // Without a pen GDI leaves out the right and bottom edge; draw one pixel larger.
    int grow = penClear ? 1 : 0;
    if (Shape == TShapeType::stEllipse)
        Ellipse(dc, bounds.left, bounds.top, bounds.right + grow, bounds.bottom + grow);
    else
        RoundRect(dc, bounds.left, bounds.top, bounds.right + grow, bounds.bottom + grow, Width() / 4, Height() / 4);
}

bool TShape::ApplyLayoutProperty(const LayoutProperty& p, TLayoutContext& context) {
    auto is = [&p](const char* name) { return os::EqualsIgnoringCase(p.name, name); };
    if (is("Brush.Color")) {
        BrushColor = LayoutColor(p);
        BrushClear = BrushColor == clNone;
    } else if (is("Pen.Color")) {
        PenColor = LayoutColor(p);
        PenClear = PenColor == clNone;
    } else if (is("Shape")) {
        const std::string& shape = p.Identifier();
        if (shape == "rectangle") Shape = TShapeType::stRectangle;
        else if (shape == "roundRect") Shape = TShapeType::stRoundRect;
        else if (shape == "ellipse") Shape = TShapeType::stEllipse;
        else p.Fail("expected rectangle, roundRect or ellipse");
    } else {
        return TGraphicControl::ApplyLayoutProperty(p, context);
    }
    return true;
}

// ---- TBevel

TBevel::TBevel(TComponent* owner, TWinControl* parent) : TGraphicControl(owner) { SetParent(parent); }

void TBevel::Paint(HDC dc) {
    if (Style == TBevelCut::bvNone) return;
    COLORREF first = ColorToRGB(Style == TBevelCut::bvLowered ? clBtnShadow : clBtnHighlight);
    COLORREF second = ColorToRGB(Style == TBevelCut::bvLowered ? clBtnHighlight : clBtnShadow);
    int l = Left(), t = Top(), r = Left() + Width(), b = Top() + Height();
    auto line = [dc](int x, int y, int w, int h, COLORREF color) { FillSolid(dc, {x, y, x + w, y + h}, color); };
    switch (Shape) {
        case TBevelShape::bsTopLine:
            line(l, t, r - l, 1, first);
            line(l, t + 1, r - l, 1, second);
            break;
        case TBevelShape::bsBottomLine:
            line(l, b - 2, r - l, 1, first);
            line(l, b - 1, r - l, 1, second);
            break;
        case TBevelShape::bsLeftLine:
            line(l, t, 1, b - t, first);
            line(l + 1, t, 1, b - t, second);
            break;
        case TBevelShape::bsRightLine:
            line(r - 2, t, 1, b - t, first);
            line(r - 1, t, 1, b - t, second);
            break;
        case TBevelShape::bsBox:
        case TBevelShape::bsFrame: {
            RECT frame = BoundsRect();
            DrawEdge(dc, &frame, Style == TBevelCut::bvLowered ? EDGE_ETCHED : EDGE_BUMP, BF_RECT);
            break;
        }
    }
}

bool TBevel::ApplyLayoutProperty(const LayoutProperty& p, TLayoutContext& context) {
    if (os::EqualsIgnoringCase(p.name, "Shape")) {
        const std::string& shape = p.Identifier();
        if (shape == "box") Shape = TBevelShape::bsBox;
        else if (shape == "frame") Shape = TBevelShape::bsFrame;
        else if (shape == "topLine") Shape = TBevelShape::bsTopLine;
        else if (shape == "bottomLine") Shape = TBevelShape::bsBottomLine;
        else if (shape == "leftLine") Shape = TBevelShape::bsLeftLine;
        else if (shape == "rightLine") Shape = TBevelShape::bsRightLine;
        else p.Fail("expected box, frame, topLine, bottomLine, leftLine or rightLine");
    } else if (os::EqualsIgnoringCase(p.name, "Style")) {
        Style = LayoutBevelCut(p);
    } else {
        return TGraphicControl::ApplyLayoutProperty(p, context);
    }
    return true;
}

// ---- TTimer

TTimer::TTimer(TComponent* owner) : TComponent(owner) {
    static UINT_PTR nextId = 1;
    id_ = nextId++;
    Timers()[id_] = this;
    Update();
}

TTimer::~TTimer() {
    enabled_ = false;
    Update();
    Timers().erase(id_);
}

TTimer* TTimer::FromId(UINT_PTR id) {
    auto found = Timers().find(id);
    return found == Timers().end() ? nullptr : found->second;
}

void TTimer::SetInterval(unsigned milliseconds) {
    interval_ = milliseconds;
    Update();
}

void TTimer::SetEnabled(bool enabled) {
    if (enabled_ == enabled) return;
    enabled_ = enabled;
    Update();
}

void TTimer::Update() {
    HWND window = Application().UtilityWindow();
    KillTimer(window, id_);
    if (enabled_ && interval_ > 0) SetTimer(window, id_, interval_, nullptr);
}

void TTimer::Tick() {
    if (enabled_ && OnTimer) OnTimer(this);
}

bool TTimer::ApplyLayoutProperty(const LayoutProperty& p, TLayoutContext& context) {
    if (os::EqualsIgnoringCase(p.name, "Interval")) {
        if (p.Int() < 0) p.Fail("expected a positive number of milliseconds");
        SetInterval(static_cast<unsigned>(p.Int()));
    } else if (os::EqualsIgnoringCase(p.name, "Enabled")) {
        SetEnabled(p.Bool());
    } else if (os::EqualsIgnoringCase(p.name, "OnTimer")) {
        context.BindEvent(p, OnTimer);
    } else {
        return TComponent::ApplyLayoutProperty(p, context);
    }
    return true;
}

}  // namespace toolkit
