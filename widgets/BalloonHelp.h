#pragma once
// A balloon-shaped tooltip with an icon, a title and a text whose stem points
// at a given screen point, whatever control lies under the mouse. It is a
// tracking tool of the common controls' tooltip window, made when the balloon
// is first shown (or its window first asked for); every setting is
// re-applied each time the balloon is shown.

#include "toolkit/Component.h"
#include "toolkit/Font.h"
#include "toolkit/Types.h"

#include <windows.h>
#include <commctrl.h>

#include <string>

namespace widgets {

enum TBalloonIconType { bNoIcon = 0, bInfo = 1, bWarning = 2, bError = 3 };

class TBalloonHelp : public toolkit::TComponent {
public:
    explicit TBalloonHelp(toolkit::TComponent* owner);
    ~TBalloonHelp() override;

    // Applied at the next ShowAt. In high contrast a fixed colour gives way to
    // the tooltip colour, and the text takes the tooltip text colour.
    toolkit::TColor BackGroundColor = toolkit::clInfoBk;
    // Applied at the next ShowAt or title change.
    TBalloonIconType BalloonIcon = bInfo;
    // Applied at the next ShowAt; -1: no maximum.
    int MaxTipWidth = -1;

    const std::wstring& Title() const { return title_; }
    // An empty title keeps the previous one.
    void SetTitle(const std::wstring& title);
    const std::wstring& Text() const { return text_; }
    // A shown balloon changes at once.
    void SetText(const std::wstring& text);
    // Face, height, style and character set of the tip text; the text itself is
    // always drawn in the button-text colour.
    toolkit::TFont& Font() { return font_; }
    // Copies the given font's attributes; nothing when font is null.
    void SetFont(const toolkit::TFont* font);
    const toolkit::TNotifyEvent& OnClick() const { return onClick_; }
    // An empty handler keeps the current one.
    void SetOnClick(toolkit::TNotifyEvent handler);

    // Shows the balloon with its stem at the screen point (x, y); a balloon
    // already shown is hidden first and shown again there.
    void ShowAt(int x, int y);
    void Hide();
    bool Showing() const { return showing_; }
    // The font is made for the owner's new resolution; a balloon shown stays
    // where it points and takes the new font.
    void ScaleChanged(int pixelsPerInch) override;
    // Font.Name, Font.Height, Font.Style, Font.Charset, and every component's.
    bool ApplyLayoutProperty(const toolkit::LayoutProperty& property, toolkit::TLayoutContext& context) override;

    // The tooltip window, made at the first call; null on Windows 95/98 or
    // when it could not be made.
    HWND Handle();

private:
    static LRESULT CALLBACK TipWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                          UINT_PTR subclassId, DWORD_PTR self);
    // Makes the tooltip window once, with the current title, text and font.
    void CreateTipWindow();
    void UpdateTool();
    void ApplyFont();
    LRESULT Send(UINT message, WPARAM wParam, LPARAM lParam) const;
    LPARAM ToolParam() { return reinterpret_cast<LPARAM>(&tool_); }

    HWND window_ = nullptr;
    bool windowTried_ = false;
    TTTOOLINFOW tool_{};
    std::wstring title_;
    std::wstring text_;
    toolkit::TFont font_;
    toolkit::TNotifyEvent onClick_;
    bool showing_ = false;
    POINT shownAt_{};
};

// Lets stored layouts create balloons (kind "balloon").
void RegisterBalloonHelp();

// Whether the user allows balloon tips (Explorer's "EnableBalloonTips";
// true unless it is a readable 0).
bool BalloonTipsEnabled();

}  // namespace widgets
