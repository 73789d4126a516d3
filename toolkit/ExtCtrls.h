#pragma once
// Image, panel, scroll box, shape, bevel and timer.

#include "toolkit/Control.h"
#include "toolkit/Handles.h"
#include "toolkit/Picture.h"

#include <functional>
#include <optional>

namespace toolkit {

// Makes a picture for a window at pixelsPerInch.
using TPictureSource = std::function<Picture(int pixelsPerInch)>;

// Shows a picture (or an icon) painted with its alpha channel on the parent.
class TImage : public TGraphicControl {
public:
    TImage(TComponent* owner, TWinControl* parent);

    // A picture that stays owned by the caller and must outlive its use here;
    // setting the same one again takes its new size.
    void SetPicture(const Picture* picture);
    // A picture that the image keeps, made by `source` at the image's
    // resolution, and made again when that changes. If `source` raises, the
    // image keeps what it showed.
    void LoadPicture(TPictureSource source);
    const Picture* CurrentPicture() const { return picture_; }
    // A system icon (IDI_ERROR, IDI_QUESTION, ...) made at the image's
    // resolution, 32 pixels at 96 dpi.
    void SetSystemIcon(const wchar_t* icon);
    const wchar_t* SystemIcon() const { return systemIcon_; }
    bool Stretch = false;
    bool Proportional = false;
    bool Center = false;
    // In high contrast the picture sits on a white plate: for pictures drawn
    // to be seen on a light background, such as dark lettering.
    bool HighContrastPlate = false;

    void Paint(HDC dc) override;
    void ScaleChanged(int pixelsPerInch) override;
    TAccessibleRole AccessibleRole() const override { return TAccessibleRole::Graphic; }
    bool ApplyLayoutProperty(const LayoutProperty& property, TLayoutContext& context) override;

protected:
    void AdjustSize() override;

private:
    SIZE ContentSize() const;
    void MakeIcon();

    const Picture* picture_ = nullptr;
    std::optional<Picture> owned_;
    TPictureSource source_;
    const wchar_t* systemIcon_ = nullptr;
    IconHandle icon_;
    int iconSize_ = 0;
};

enum class TBevelCut { bvNone, bvLowered, bvRaised };
enum class TBevelKind { bkNone, bkSoft, bkFlat, bkTile };

// A container window with a colour and an optional bevelled frame.
class TPanel : public TWinControl {
public:
    TPanel(TComponent* owner, TWinControl* parent);

    TBevelKind BevelKind = TBevelKind::bkNone;
    TBevelCut BevelInner = TBevelCut::bvNone;
    TBevelCut BevelOuter = TBevelCut::bvRaised;
    int BorderWidth = 0;

    void PaintWindow(HDC dc) override;
    bool ApplyLayoutProperty(const LayoutProperty& property, TLayoutContext& context) override;
};

// A framed window whose content may be taller than itself: its controls sit
// on Content(), a panel as wide as the client area, which the vertical
// scroll bar (always there, greyed while everything fits), the mouse wheel
// and the keyboard focus move: a control inside that takes the focus is
// scrolled into view. Dialog navigation goes through the content's controls.
class TScrollBox : public TWinControl {
public:
    TScrollBox(TComponent* owner, TWinControl* parent);

    TPanel& Content() { return *content_; }
    // The content's height; the position stays within the new range.
    void SetContentHeight(int height);
    int ContentHeight() const { return contentHeight_; }
    // The top of the content that shows at the top of the client area.
    int Position() const { return position_; }
    void ScrollTo(int position);
    void ScrollIntoView(const TControl& control);

    void ChildFocused(TWinControl& control) override;
    LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    int MaxPosition() const;
    void UpdateScrollBar();
    // The distance a line of the arrows and the wheel scrolls.
    int LineHeight() const;
    void Scroll(WORD request);

    TPanel* content_ = nullptr;  // made once the window exists
    int contentHeight_ = 0;
    int position_ = 0;
    int wheelRemainder_ = 0;
};

enum class TShapeType { stRectangle, stRoundRect, stEllipse };

// A filled and outlined figure; in high contrast one of a fixed colour is
// drawn as its outline.
class TShape : public TGraphicControl {
public:
    TShape(TComponent* owner, TWinControl* parent);

    TShapeType Shape = TShapeType::stRectangle;
    TColor BrushColor = clWhite;
    bool BrushClear = false;
    TColor PenColor = clBlack;
    bool PenClear = false;

    void Paint(HDC dc) override;
    bool ApplyLayoutProperty(const LayoutProperty& property, TLayoutContext& context) override;
};

enum class TBevelShape { bsBox, bsFrame, bsTopLine, bsBottomLine, bsLeftLine, bsRightLine };

// An etched line or frame.
class TBevel : public TGraphicControl {
public:
    TBevel(TComponent* owner, TWinControl* parent);

    TBevelShape Shape = TBevelShape::bsBox;
    TBevelCut Style = TBevelCut::bvLowered;

    void Paint(HDC dc) override;
    bool ApplyLayoutProperty(const LayoutProperty& property, TLayoutContext& context) override;
};

// Raises OnTimer every Interval milliseconds while enabled.
class TTimer : public TComponent {
public:
    explicit TTimer(TComponent* owner);
    ~TTimer() override;

    unsigned Interval() const { return interval_; }
    void SetInterval(unsigned milliseconds);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);

    TNotifyEvent OnTimer;
    // Runs OnTimer (the application's timer window calls it).
    void Tick();
    static TTimer* FromId(UINT_PTR id);

    bool ApplyLayoutProperty(const LayoutProperty& property, TLayoutContext& context) override;

private:
    void Update();

    unsigned interval_ = 1000;
    bool enabled_ = true;
    UINT_PTR id_;
};

}  // namespace toolkit
