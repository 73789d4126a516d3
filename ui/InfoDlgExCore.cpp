#include "ui/InfoDlgExCore.h"

#include <algorithm>

namespace ui {
namespace {

RECT Bounds(int left, int top, SIZE size) { return {left, top, left + size.cx, top + size.cy}; }

}  // namespace

int InfoDlgMargin(int pixelsPerInch) { return pixelsPerInch <= 100 ? 8 : 12; }

int InfoDlgTextWidth(const TInfoDlgMetrics& metrics) {
    const int buttons = std::max(3, metrics.ok + metrics.yes + metrics.no + metrics.help + metrics.cancel);
    const int step = metrics.button.cx + InfoDlgMargin(metrics.pixelsPerInch);
    return (buttons - 1) * step + metrics.button.cx;
}

TInfoDlgLayout LayoutInfoDlg(const TInfoDlgMetrics& metrics) {
    const int m = InfoDlgMargin(metrics.pixelsPerInch);
    const int b = metrics.button.cx;
    const int step = b + m;
    TInfoDlgLayout layout;
    layout.icon = Bounds(m, m, metrics.icon);
    const SIZE text{InfoDlgTextWidth(metrics), std::max(metrics.textHeight, 6 * m)};
    layout.text = Bounds(layout.icon.right + m, layout.icon.top, text);
    layout.bevel = Bounds(layout.text.left, layout.text.bottom, {text.cx, m});
    layout.checkBox = Bounds(layout.text.left, layout.bevel.bottom + m, {text.cx, metrics.checkBoxHeight});

    const int row = metrics.checkBox ? layout.checkBox.bottom + m : layout.text.bottom + 2 * m;
    int x = layout.text.right - b;
    const auto place = [&](bool visible, RECT& button) {
        if (!visible) return;
        button = Bounds(x, row, metrics.button);
        x -= step;
    };
    place(metrics.help, layout.help);
    place(metrics.cancel, layout.cancel);
    place(metrics.no, layout.no);
    place(metrics.yes, layout.yes);
    place(metrics.ok, layout.ok);
    layout.client = {layout.text.right + m, row + metrics.button.cy + m};
    return layout;
}

namespace {

bool BeginsWith(os::WStringView text, os::WStringView prefix) {
    return text.size() >= prefix.size() && os::EqualsIgnoringCase(text.substr(0, prefix.size()), prefix);
}

}  // namespace

os::WString CompleteLinkTarget(os::WStringView target) {
    const os::WStringView mailto = WSTR("mailto:");
    if (BeginsWith(target, mailto)) return os::WString(target);
    if (target.find(WSTR("://")) != os::WStringView::npos) {
        // The program may run elevated: no file, share or other handler is started from a message.
        const bool web = BeginsWith(target, WSTR("http://")) || BeginsWith(target, WSTR("https://"));
        return web ? os::WString(target) : os::WString();
    }
    if (target.find('@') != os::WStringView::npos) return os::WString(mailto) + os::WString(target);
    return WSTR("http://") + os::WString(target);
}

os::WString PlainTextMarkup(os::WStringView text) {
    os::WString markup;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            markup += WSTR("<br>");
        } else {
            markup += text[i];
        }
    }
    return markup;
}

}  // namespace ui
