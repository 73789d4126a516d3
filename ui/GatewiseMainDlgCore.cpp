#include "ui/GatewiseMainDlgCore.h"

#include "engine/Exception.h"
#include "engine/Utilities.h"

#include <algorithm>

#include <utility>
#include <vector>

namespace ui {
namespace {

os::WString FormatTwo(const os::WString& format, const os::WString& first, const os::WString& second) {
    return os::Format(os::Format(format, first), second);
}

// One moment, or two joined by `twoFormat`.
os::WString Moments(const std::vector<os::WString>& moments, const os::WString& twoFormat) {
    return moments.size() == 1 ? moments[0] : FormatTwo(twoFormat, moments[0], moments[1]);
}

}  // namespace

TPromptStates ReadPromptStates(settings::TOptions& options) {
    TPromptStates states;
    if (options.AutochangeStartup()) states.startup = engine::GetAskPasswordOnStartup();
    if (options.AutochangeStandby()) states.wake = engine::GetAskPasswordOnResume();
    if (options.AutochangeScreenSaver()) states.screenSaver = engine::GetAskPasswordOnScreenSaver();
    return states;
}

os::WString CustomModeLine(const TPromptStates& states, const TCustomModeTexts& texts) {
    std::vector<os::WString> asked;
    std::vector<os::WString> notAsked;
    const std::pair<const std::optional<bool>&, const os::WString&> moments[] = {
        {states.startup, texts.startup}, {states.wake, texts.wake}, {states.screenSaver, texts.screenSaver}};
    for (const auto& [state, moment] : moments)
        if (state) (*state ? asked : notAsked).push_back(moment);
    if (asked.empty() && notAsked.empty()) return texts.noneSet;
    if (asked.empty() || notAsked.empty()) return {};
    return FormatTwo(texts.line, Moments(asked, texts.both), Moments(notAsked, texts.either));
}

os::WString WithoutRelaxedLink(const os::WString& markup, const os::WString& line) {
    const os::WString open = WSTR("<a href=\"relaxed\">");
    const os::WString close = WSTR("</a>");
    std::size_t start = markup.find(open);
    const std::size_t closing = start == os::WString::npos ? start : markup.find(close, start);
    if (closing == os::WString::npos) return markup + WSTR("<br>") + line;
    std::size_t end = closing + close.size();
    if (start >= 2 && markup.compare(start - 2, 2, WSTR(" (")) == 0 && markup.compare(end, 1, WSTR(")")) == 0) {
        start -= 2;
        end += 1;
    }
    os::WString rest = markup.substr(end);
    while (!rest.empty() && (rest.back() == WSTR('\n') || rest.back() == WSTR('\r'))) rest.pop_back();
    return markup.substr(0, start) + rest + WSTR("<br>") + line;
}

os::WString OverriddenLine(const std::vector<diagnostics::CheckResult>& overriding, settings::TPromptMode mode,
                           const TOverriddenTexts& texts) {
    if (overriding.empty()) return {};
    os::WString line = os::FromUtf8(diagnostics::OverrideSummary(overriding.front().id, mode));
    if (overriding.size() > 1) line += WSTR(" ") + os::Format(texts.more, os::FromUtf8(std::to_string(overriding.size() - 1)));
    return line + WSTR(" ") + texts.saysMore;
}

TModeDisplay ReadModeDisplay(settings::TOptions& options, bool withChecks, const TModeLineTexts& texts) {
    TModeDisplay display;
    try {
        const settings::TPromptMode mode = options.GetCurrentMode();
        if (mode == settings::pmCustom) display.line = CustomModeLine(ReadPromptStates(options), texts.custom);
        else if (withChecks)
            display.line = display.overridden =
                OverriddenLine(diagnostics::ChecksOverriding(options, mode), mode, texts.overridden);
        display.mode = mode;
    } catch (const engine::Exception& error) {
        display.line.clear();
        display.overridden.clear();
        std::string reason = error.what();
        std::erase(reason, '\r');
        std::replace(reason.begin(), reason.end(), '\n', ' ');
        display.unreadable = os::FromUtf8(reason);
        display.line = os::Format(texts.unknown, display.unreadable);
    }
    return display;
}

}  // namespace ui
