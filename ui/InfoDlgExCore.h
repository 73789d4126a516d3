#pragma once
// The message dialog's rules that need no window: where its controls go and
// how the targets of its links are completed.

#include "os/Text.h"
#include "os/WinTypes.h"

namespace ui {

// What the layout works from: the resolution, the sizes that the controls
// have there, which of them show, and the height of the message at
// InfoDlgTextWidth.
struct TInfoDlgMetrics {
    int pixelsPerInch = 96;
    SIZE icon{};
    SIZE button{};
    int checkBoxHeight = 0;
    int textHeight = 0;
    bool ok = false;
    bool yes = false;
    bool no = false;
    bool help = false;
    bool cancel = false;
    bool checkBox = false;  // the check box and the line above it
};

// Client coordinates of every control; a hidden button's rectangle is empty.
struct TInfoDlgLayout {
    RECT icon{};
    RECT text{};
    RECT bevel{};
    RECT checkBox{};
    RECT ok{};
    RECT yes{};
    RECT no{};
    RECT help{};
    RECT cancel{};
    SIZE client{};
};

// The space around and between the controls: 8 pixels up to 100 dpi, else 12.
int InfoDlgMargin(int pixelsPerInch);
// The width of the message: room for three buttons side by side, or for all
// the buttons shown when there are more.
int InfoDlgTextWidth(const TInfoDlgMetrics& metrics);
// The icon at the top left, the message beside it (at least six margins
// high), the check box under a separating line, and the buttons in one row
// from the right edge of the message: Help, Cancel, No, Yes, then OK.
TInfoDlgLayout LayoutInfoDlg(const TInfoDlgMetrics& metrics);

// The address that a link of a message opens: a target beginning with
// "mailto:", "http://" or "https://" as it is, a mail address with "mailto:"
// before it, anything else without a scheme ("://") with "http://" before it.
// A target of any other scheme opens nothing: empty.
os::WString CompleteLinkTarget(os::WStringView target);

// A plain-text message as markup for the dialog: each line break ("\r\n",
// "\n" or "\r") becomes "<br>", which the markup would otherwise fold into a
// space. The text must not hold "<".
os::WString PlainTextMarkup(os::WStringView text);

}  // namespace ui
