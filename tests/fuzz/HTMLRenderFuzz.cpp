// libFuzzer target: random markup laid out and drawn at random widths on the
// simulated machine. Byte 0 is the width, byte 1 the options (justify,
// enabled, transparent, interline spacing), the rest the text in UTF-8.
//
// Checks beyond ending without a crash or sanitizer report: every character
// outside the tags that is not whitespace appears in the runs, in order; runs
// hold no tabs, line feeds or returns and no doubled spaces; justification
// extras match their runs; no GDI object or DC is left.
#include "os/WinApi.h"
#include "os/sim/SimMachine.h"
#include "widgets/HTMLRender.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace {

bool IsFolded(WCHAR c) { return c == 9 || c == 10 || c == 13 || c == 32; }

void Check(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "html_render_fuzzer: %s\n", what);
    std::abort();
}

// The characters that must be shown: those outside tags, up to an unclosed
// "<", without whitespace.
os::WString VisibleCharacters(const os::WString& text) {
    os::WString visible;
    std::size_t position = 0;
    for (;;) {
        const std::size_t open = text.find('<', position);
        const std::size_t end = open == os::WString::npos ? text.size() : open;
        for (std::size_t i = position; i < end; ++i)
            if (!IsFolded(text[i])) visible += text[i];
        if (open == os::WString::npos) break;
        const std::size_t close = text.find('>', open);
        if (close == os::WString::npos) break;
        position = close + 1;
    }
    return visible;
}

void CheckRuns(const widgets::THTMLRender& render, const os::WString& text) {
    os::WString shown;
    for (std::size_t i = 0; i < render.Items.Count(); ++i) {
        const widgets::THTMLRenderItem& item = render.Items[i];
        for (std::size_t c = 0; c < item.Text.size(); ++c) {
            const WCHAR ch = item.Text[c];
            Check(ch != 9 && ch != 10 && ch != 13, "a run holds unfolded whitespace");
            Check(!(ch == ' ' && c > 0 && item.Text[c - 1] == ' '), "a run holds two spaces in a row");
            if (ch != ' ') shown += ch;
        }
        Check(item.SpaceExtra.empty() || item.SpaceExtra.size() == item.Text.size(),
              "justification extras do not match their run");
    }
    Check(shown == VisibleCharacters(text), "the runs do not show the text's characters in order");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const int width = static_cast<int8_t>(data[0]) * 3;
    const uint8_t options = data[1];
    const bool justify = options & 1;
    const bool enabled = options & 2;
    const bool transparent = options & 4;
    const int spacing = (options >> 3) & 7;
    const os::WString text =
        os::FromUtf8(std::string_view(reinterpret_cast<const char*>(data + 2), size - 2));

    os::sim::SimMachine machine;
    os::ScopedMachine scope(machine);
    HDC dc = machine.CreateCompatibleDC(nullptr);
    LOGFONTW base{};
    base.lfHeight = (options & 0x40) ? 20 : -12;
    base.lfWeight = (options & 0x80) ? FW_BOLD : FW_NORMAL;
    base.lfFaceName[0] = 'A';
    HFONT font = machine.CreateFontIndirectW(&base);
    HGDIOBJ stock = machine.SelectObject(dc, font);
    {
        widgets::THTMLRender render;
        render.InterlineSpacing = spacing;
        const RECT rect{3, 4, 3 + width, 104};
        render.Layout(text, dc, RGB(0, 0, 255), justify, rect);
        CheckRuns(render, text);
        Check(render.TextHeight >= 0, "negative text height");
        render.Draw(dc, rect, RGB(255, 255, 221), enabled, transparent);
        for (std::size_t i = 0; i < render.Items.Count(); ++i) {
            const RECT& r = render.Items[i].Rect;
            if (r.left < r.right && r.top < r.bottom)
                Check(render.ItemAt(r.left, r.top) != nullptr, "a drawn run is not found at its corner");
        }
        Check(machine.OpenHandles() == 2, "a GDI object outlived layout or drawing");
    }
    machine.SelectObject(dc, stock);
    machine.DeleteObject(font);
    machine.DeleteDC(dc);
    Check(machine.OpenHandles() == 0, "a GDI object or DC was left");
    return 0;
}
