#pragma once
// Word wrapping done the slow, literal way: measure the whole run, then move
// the last word (or, in a word wider than the line, the last character) to the
// carry and measure again, until the run fits. THTMLRender::WrapItems must give
// exactly the same items and TextHeight; the tests compare both and the
// benchmark times both.

#include "os/WinApi.h"
#include "widgets/HTMLRender.h"

#include <algorithm>
#include <memory>
#include <stdexcept>

namespace reference {

inline void WrapItems(widgets::THTMLRender& render, HDC dc, int width) {
    using namespace widgets;
    render.TextHeight = 0;
    int lineMax = 0;
    int lineX = 0;
    for (std::size_t i = 0; i < render.Items.Count(); ++i) {
        THTMLRenderItem& item = render.Items[i];
        item.Font.SelectInto(dc);
        item.Width = MeasureWidth(dc, item.Text);
        TEXTMETRICW metrics{};
        if (os::Api().GetTextMetricsW(dc, &metrics)) {
            item.Height = metrics.tmHeight;
            item.Ascent = metrics.tmAscent;
            lineMax = std::max(lineMax, item.Height);
        }
        os::WString carry;
        while (item.Width + lineX > width) {
            const std::size_t space = item.Text.rfind(' ');
            if (space != os::WString::npos) {
                carry = item.Text.substr(space) + carry;
                item.Text.resize(space);
            } else if (item.Width > width && !item.Text.empty()) {
                if (item.Text.size() == 1 && lineX == 0) break;  // a line keeps one character
                carry.insert(carry.begin(), item.Text.back());
                item.Text.pop_back();
            } else {
                if (item.Text.empty() && lineX == 0) break;  // a negative width
                item.Text += carry;
                carry.clear();
                if (i == 0) throw std::logic_error("Assertion failure");
                render.Items[i - 1].LineBreak = lbWrap;
                render.TextHeight += render.InterlineSpacing + lineMax;
                lineX = 0;
            }
            item.Width = MeasureWidth(dc, item.Text);
        }
        item.Font.Restore(dc);
        if (!carry.empty()) {
            if (carry[0] == ' ') carry.erase(0, 1);
            auto next = std::make_unique<THTMLRenderItem>();
            next->Text = carry;
            next->Href = item.Href;
            next->Font.Assign(item.Font);
            next->LineBreak = item.LineBreak;
            render.Items.Insert(i + 1, std::move(next));
            item.LineBreak = lbWrap;
        }
        if (item.LineBreak == lbNone) {
            lineX += item.Width;
        } else {
            render.TextHeight += render.InterlineSpacing + lineMax;
            lineMax = 0;
            lineX = 0;
        }
    }
    render.TextHeight += render.InterlineSpacing + lineMax;
}

}  // namespace reference
