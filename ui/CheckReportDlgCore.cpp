#include "ui/CheckReportDlgCore.h"

#include "toolkit/DpiScale.h"

#include <algorithm>

namespace ui {
namespace {

constexpr int kDesignClientWidth = 620;
constexpr int kMargin = 8;
constexpr int kRowPadding = 6;
constexpr int kMinListHeight = 96;

RECT Bounds(int left, int top, int width, int height) { return {left, top, left + width, top + height}; }

int Scaled(int value, const TCheckReportMetrics& metrics) { return toolkit::ScaleToDpi(value, metrics.pixelsPerInch); }

// The right edge of the text column: the Fix buttons' column is kept for
// every row, so that the texts line up.
int TextLeft(const TCheckReportMetrics& metrics) { return Scaled(kRowPadding, metrics) * 2 + metrics.verdictWidth; }

int ListClientWidth(const TCheckReportMetrics& metrics) {
    const int chrome = metrics.listChrome.cx;
    return CheckReportClientWidth(metrics) - 2 * Scaled(kMargin, metrics) - chrome;
}

os::WString PlainText(const std::string& utf8) {
    os::WString text = os::FromUtf8(utf8);
    std::replace(text.begin(), text.end(), WCHAR('<'), WCHAR(0x2039));
    return text;
}

}  // namespace

int CheckReportClientWidth(const TCheckReportMetrics& metrics) {
    const int room = metrics.workArea.cx - metrics.frame.cx;
    return std::min(Scaled(kDesignClientWidth, metrics), room);
}

int CheckReportTextWidth(const TCheckReportMetrics& metrics) {
    const int padding = Scaled(kRowPadding, metrics);
    const int buttonWidth = metrics.button.cx;
    return std::max(ListClientWidth(metrics) - TextLeft(metrics) - padding - buttonWidth - padding, padding);
}

TCheckReportLayout LayoutCheckReport(const TCheckReportMetrics& metrics, const std::vector<TFindingRowSize>& rows) {
    const int m = Scaled(kMargin, metrics);
    const int padding = Scaled(kRowPadding, metrics);
    TCheckReportLayout layout;
    layout.client.cx = CheckReportClientWidth(metrics);

    const int listWidth = ListClientWidth(metrics);
    const int textWidth = CheckReportTextWidth(metrics);
    const int fixLeft = listWidth - padding - metrics.button.cx;
    int top = 0;
    for (const TFindingRowSize& size : rows) {
        const int buttonHeight = size.fixable ? metrics.button.cy : 0;
        const int height = std::max(size.textHeight, buttonHeight) + 2 * padding;
        TFindingRowLayout row;
        row.row = Bounds(0, top, fixLeft - padding / 2, height);
        row.verdict = Bounds(padding, padding, metrics.verdictWidth, size.textHeight);
        row.text = Bounds(TextLeft(metrics), padding, textWidth, size.textHeight);
        if (size.fixable) row.fix = Bounds(fixLeft, top + padding, metrics.button.cx, metrics.button.cy);
        layout.rows.push_back(row);
        top += height;
    }
    layout.contentHeight = top;

    layout.summary = Bounds(m, m, layout.client.cx - 2 * m, metrics.summaryHeight);
    const int listTop = layout.summary.bottom + m;
    const int below = m + metrics.button.cy + m;  // the buttons' row under the list
    const int maxClient = metrics.workArea.cy - metrics.frame.cy;
    const int wanted = layout.contentHeight + metrics.listChrome.cy;
    const int listHeight = std::max(std::min(wanted, maxClient - listTop - below), Scaled(kMinListHeight, metrics));
    layout.list = Bounds(m, listTop, layout.client.cx - 2 * m, listHeight);

    const int buttonTop = layout.list.bottom + m;
    const SIZE button = metrics.button;
    layout.close = Bounds(layout.list.right - button.cx, buttonTop, button.cx, button.cy);
    layout.help = Bounds(layout.close.left - m - button.cx, buttonTop, button.cx, button.cy);
    layout.copy = Bounds(layout.help.left - m - button.cx, buttonTop, button.cx, button.cy);
    layout.verifyStored = Bounds(m, buttonTop, metrics.wideButton, button.cy);
    layout.client.cy = buttonTop + button.cy + m;
    return layout;
}

os::WString FindingMarkup(const diagnostics::CheckResult& result, const os::WString& fixWord) {
    os::WString markup = PlainText(result.finding);
    if (!result.fix.empty()) markup += WSTR("<br><i>") + fixWord + WSTR(" ") + PlainText(result.fix) + WSTR("</i>");
    return markup;
}

os::WString FindingRowName(const os::WString& verdict, const diagnostics::CheckResult& result,
                           const os::WString& fixWord) {
    os::WString name = verdict + WSTR(": ") + os::FromUtf8(result.finding);
    if (!result.fix.empty()) name += WSTR(" ") + fixWord + WSTR(" ") + os::FromUtf8(result.fix);
    return name;
}

}  // namespace ui
