// Layout of the markup renderer on the simulated GDI: the main window's two
// explanations, and single runs of 2,000 and 20,000 characters at a narrow
// width, wrapped as the renderer does it and the literal way for comparison.
#include "HTMLRenderReference.h"
#include "os/WinApi.h"
#include "os/sim/SimMachine.h"
#include "widgets/HTMLRender.h"

#include <benchmark/benchmark.h>

#include <random>

namespace {

constexpr int kNarrowWidth = 150;

class Canvas {
public:
    Canvas() {
        dc_ = machine.CreateCompatibleDC(nullptr);
        LOGFONTW font{};
        font.lfHeight = -12;
        font.lfWeight = FW_NORMAL;
        const char16_t face[] = u"Segoe UI";
        for (int i = 0; face[i]; ++i) font.lfFaceName[i] = static_cast<WCHAR>(face[i]);
        font_ = machine.CreateFontIndirectW(&font);
        previous_ = machine.SelectObject(dc_, font_);
    }
    ~Canvas() {
        machine.SelectObject(dc_, previous_);
        machine.DeleteObject(font_);
        machine.DeleteDC(dc_);
    }
    HDC dc() const { return dc_; }

    os::sim::SimMachine machine;

private:
    os::ScopedMachine scope_{machine};
    HDC dc_ = nullptr;
    HFONT font_ = nullptr;
    HGDIOBJ previous_ = nullptr;
};

os::WString Words(std::size_t length) {
    static const char16_t* const words[] = {u"password", u"the", u"computer", u"will", u"prompt", u"for",
                                            u"secure", u"mode", u"a",   u"hibernation", u"screen", u"saver"};
    std::mt19937 random(7);
    os::WString text;
    while (text.size() < length) {
        if (!text.empty()) text += ' ';
        for (const char16_t* c = words[random() % std::size(words)]; *c; ++c) text += static_cast<WCHAR>(*c);
    }
    text.resize(length);
    return text;
}

void LayoutLabels(benchmark::State& state) {
    Canvas canvas;
    const os::WString secure = os::FromUtf8(
        "While in secure mode the computer will prompt for your Windows password each time it starts up, or "
        "resumes from standby, hibernation or screen saver. This mode is most appropriate when you travel, or "
        "when unauthorized persons have physical access to your computer (<a href=\"secure\">activate now</a>). \n");
    const os::WString relaxed = os::FromUtf8(
        "In relaxed mode the computer won't ask for your Windows password and will always start up directly into "
        "your account. Relaxed mode is <b>only</b> appropriate if no one except yourself has access to your "
        "computer at all times, and it's physical location is properly secured (<a href=\"relaxed\">activate "
        "now</a>).\n");
    widgets::THTMLRender render;
    for (auto _ : state) {
        render.Layout(secure, canvas.dc(), RGB(0, 0, 255), false, RECT{0, 0, 425, 85});
        render.Layout(relaxed, canvas.dc(), RGB(0, 0, 255), false, RECT{0, 0, 433, 73});
        benchmark::DoNotOptimize(render.TextHeight);
        canvas.machine.ClearCalls();
    }
}
BENCHMARK(LayoutLabels)->Unit(benchmark::kMicrosecond);

void LayoutSingleRun(benchmark::State& state) {
    Canvas canvas;
    const os::WString text = Words(static_cast<std::size_t>(state.range(0)));
    widgets::THTMLRender render;
    for (auto _ : state) {
        render.Layout(text, canvas.dc(), RGB(0, 0, 255), false, RECT{0, 0, kNarrowWidth, 100});
        benchmark::DoNotOptimize(render.TextHeight);
        canvas.machine.ClearCalls();
    }
    state.counters["lines"] = static_cast<double>(render.Items.Count());
}
BENCHMARK(LayoutSingleRun)->Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond);

// The same runs wrapped by the literal algorithm (parse included); 20,000
// characters take minutes.
void LiteralSingleRun(benchmark::State& state) {
    Canvas canvas;
    const os::WString text = Words(static_cast<std::size_t>(state.range(0)));
    widgets::THTMLRender render;
    for (auto _ : state) {
        render.Parse(text, canvas.dc(), RGB(0, 0, 255));
        reference::WrapItems(render, canvas.dc(), kNarrowWidth);
        benchmark::DoNotOptimize(render.TextHeight);
        canvas.machine.ClearCalls();
    }
}
BENCHMARK(LiteralSingleRun)->Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
