#pragma once
// Controls: the properties that every window of the program uses, and the two
// ways a control exists on screen: TGraphicControl paints itself on its
// parent's window, TWinControl owns a window of its own.

#include "toolkit/Component.h"
#include "toolkit/Font.h"

#include <windows.h>

#include <string>
#include <vector>

namespace toolkit {

class TWinControl;
class TForm;

// What a screen reader is told a control without a window of its own is;
// None leaves it out (shapes, bevels). A window reports its role only when it
// is not None (a dialog); otherwise its window class describes it.
enum class TAccessibleRole { None, Text, Graphic, Link, Dialog };

// A link inside a control's text: its words, and where they were painted in
// the control's coordinates (empty before the first paint).
struct TAccessibleLink {
    std::wstring text;
    RECT bounds{};
};

class TControl : public TComponent {
public:
    explicit TControl(TComponent* owner);
    ~TControl() override;

    TWinControl* Parent() const { return parent_; }
    virtual void SetParent(TWinControl* parent);
    // The form this control sits on (itself for a form), or null.
    TForm* ParentForm() const;

    int Left() const { return left_; }
    int Top() const { return top_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    RECT BoundsRect() const { return {left_, top_, left_ + width_, top_ + height_}; }
    virtual void SetBounds(int left, int top, int width, int height);
    void SetLeft(int left) { SetBounds(left, top_, width_, height_); }
    void SetTop(int top) { SetBounds(left_, top, width_, height_); }
    void SetWidth(int width) { SetBounds(left_, top_, width, height_); }
    void SetHeight(int height) { SetBounds(left_, top_, width_, height); }
    // Point of the control's client area on the screen.
    virtual POINT ClientToScreen(POINT point) const;

    // The caption of a label, button or form, the text of an edit.
    virtual std::wstring Caption() const { return caption_; }
    virtual void SetCaption(const std::wstring& caption);
    std::wstring Hint;

    bool Visible() const { return visible_; }
    virtual void SetVisible(bool visible);
    // Visible, and so is every parent.
    bool Showing() const;
    bool Enabled() const { return enabled_; }
    virtual void SetEnabled(bool enabled);

    TFont& Font() { return font_; }
    const TFont& Font() const { return font_; }
    TColor Color() const { return color_; }
    void SetColor(TColor color);
    // The background painted: the control's own colour, or its parent's for
    // clDefault; in high contrast a fixed colour gives way to the window colour.
    TColor EffectiveBackground() const;
    COLORREF EffectiveColor() const { return ColorToRGB(EffectiveBackground()); }
    // The colour of the control's text on its background: the font's colour,
    // which gives way to the system's in high contrast, or the grey text
    // colour while the control is disabled.
    COLORREF TextColor() const;
    // What the control's text is, for the colour it takes in high contrast.
    virtual TColorPart TextPart() const { return TColorPart::Text; }
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool transparent);
    TCursor Cursor = crDefault;

    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool autoSize);
    // Top-aligned controls follow their parent's width when it changes.
    TAlign Align = TAlign::alNone;
    bool AlignWithMargins = false;
    TMargins Margins;

    TNotifyEvent OnClick;
    TNotifyEvent OnMouseEnter;
    TNotifyEvent OnMouseLeave;

    // Runs the click behaviour and OnClick.
    virtual void Click();
    virtual void MouseEnter();
    virtual void MouseLeave();
    // Graphic controls: the mouse moved over the control, to a point in its
    // own coordinates (the parent window tells it).
    virtual void MouseMove(POINT) {}

    virtual void Invalidate();
    virtual bool IsWindowed() const { return false; }
    // Graphic controls: paints at the control's bounds on the parent's DC.
    virtual void Paint(HDC) {}

    // The resolution the control is shown at: its form's, or the screen's.
    virtual int PixelsPerInch() const;
    // The font is made again for the resolution and the size fitted to the content.
    void ScaleChanged(int pixelsPerInch) override;

    // For screen readers. A windowed control is described by its window
    // class; the parent window describes the others from these. The name
    // replaces the one the control's text gives (layout: AccessibleName).
    std::wstring AccessibleName;
    virtual TAccessibleRole AccessibleRole() const { return TAccessibleRole::None; }
    // AccessibleName, or else the text that the control shows.
    virtual std::wstring AccessibleText();
    // A click does something: screen readers offer it as the default action.
    virtual bool AccessibleClickable() const { return static_cast<bool>(OnClick); }
    virtual std::vector<TAccessibleLink> AccessibleLinks() { return {}; }
    // Runs link `index` of AccessibleLinks() as a click on it would.
    virtual void FollowAccessibleLink(std::size_t /*index*/) {}

    bool ApplyLayoutProperty(const LayoutProperty& property, TLayoutContext& context) override;

protected:
    virtual void FontChanged() { Invalidate(); }
    virtual void TextChanged() { AdjustSize(); Invalidate(); }
    // AutoSize: fits the bounds to the content.
    virtual void AdjustSize() {}
    virtual void BoundsChanged() {}
    virtual void VisibilityChanged() {}

    std::wstring caption_;

private:
    TWinControl* parent_ = nullptr;
    int left_ = 0;
    int top_ = 0;
    int width_ = 0;
    int height_ = 0;
    bool visible_ = true;
    bool enabled_ = true;
    TFont font_;
    TColor color_ = clDefault;
    bool transparent_ = false;
    bool autoSize_ = false;
};

class TGraphicControl : public TControl {
public:
    using TControl::TControl;

    void Invalidate() override;

protected:
    void VisibilityChanged() override { Invalidate(); }
};

class TWinControl : public TControl {
public:
    explicit TWinControl(TComponent* owner);
    ~TWinControl() override;

    HWND Handle() const { return handle_; }
    // The control of one of our windows, or null.
    static TWinControl* FromHandle(HWND window);

    const std::vector<TControl*>& Controls() const { return controls_; }
    // The child window controls in tab order.
    std::vector<TWinControl*> TabList() const;
    int TabOrder() const { return tabOrder_; }
    void SetTabOrder(int order);
    bool TabStop = true;

    void SetParent(TWinControl* parent) override;
    void SetBounds(int left, int top, int width, int height) override;
    void SetCaption(const std::wstring& caption) override;
    std::wstring Caption() const override;
    void SetVisible(bool visible) override;
    void SetEnabled(bool enabled) override;
    void Invalidate() override;
    bool IsWindowed() const override { return true; }
    void SetFocus();
    bool Focused() const;
    POINT ClientToScreen(POINT point) const override;

    virtual int ClientWidth() const;
    virtual int ClientHeight() const;

    // The window procedure of the control; the default handles the parent's
    // part for its graphic children and passes the rest on.
    virtual LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam);

    // A control inside this one (a child, or a child's child) took the
    // keyboard focus; the default tells the parent.
    virtual void ChildFocused(TWinControl& control);

    // Reflected from the parent: WM_COMMAND and WM_NOTIFY of this control.
    virtual void HandleCommand(WORD) {}
    virtual bool HandleNotify(NMHDR*, LRESULT&) { return false; }
    // Reflected WM_CTLCOLOR*: the brush for the control's background, or null.
    virtual HBRUSH HandleControlColor(HDC dc);

    // Paints the window's own background and frame (owned windows).
    virtual void PaintWindow(HDC dc);

    bool ApplyLayoutProperty(const LayoutProperty& property, TLayoutContext& context) override;

protected:
    // Creates the window: our own class when className is null, else a system
    // class (subclassed so that its messages reach WndProc first).
    void CreateHandle(const wchar_t* className, DWORD style, DWORD exStyle, HWND parentWindow = nullptr);
    void DestroyHandle();
    LRESULT DefaultProc(UINT message, WPARAM wParam, LPARAM lParam);
    void FontChanged() override;
    virtual void ClientResized(int dx);
    // The client width that the aligned children were laid out for: the next
    // WM_SIZE to another width moves them by the difference.
    void SetAlignedClientWidth(int width) { lastClientWidth_ = width; }
    void UpdateZOrder();

private:
    friend class TControl;
    friend LRESULT CALLBACK ControlWindowProc(HWND, UINT, WPARAM, LPARAM);

    void InsertControl(TControl* control);
    void RemoveControl(TControl* control);
    TControl* GraphicAt(POINT point) const;
    void SetHovered(TControl* control);
    void GraphicMouseMove(POINT point);
    // The window's background and its graphic controls within `area`.
    void PaintContent(HDC dc, const RECT& area);
    // WM_PAINT, through a bitmap so that nothing flickers.
    void PaintBuffered();
    bool SetGraphicCursor(LPARAM lParam);

    HWND handle_ = nullptr;
    WNDPROC systemProc_ = nullptr;
    std::vector<TControl*> controls_;
    int tabOrder_ = -1;
    TControl* hovered_ = nullptr;
    TControl* pressed_ = nullptr;
    bool trackingLeave_ = false;
    int lastClientWidth_ = -1;
    GdiObject backgroundBrush_;
    COLORREF backgroundColor_ = CLR_INVALID;
};

// The one window procedure of every control window.
LRESULT CALLBACK ControlWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Registers the window class of the toolkit's own windows; returns its name.
const wchar_t* ControlWindowClass();

}  // namespace toolkit
