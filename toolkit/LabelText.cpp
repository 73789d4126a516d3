#include "toolkit/LabelText.h"

namespace toolkit {
namespace {

int WidthOf(const std::vector<int>& advances, std::size_t first, std::size_t end) {
    int width = 0;
    for (std::size_t i = first; i < end; ++i) width += advances[i];
    return width;
}

void AddLine(std::vector<TTextLine>& lines, const std::vector<int>& advances, std::size_t first, std::size_t end) {
    lines.push_back({first, end - first, WidthOf(advances, first, end)});
}

// One paragraph [first, end) as lines of at most wrapWidth.
void WrapParagraph(std::vector<TTextLine>& lines, os::WStringView text, const std::vector<int>& advances,
                   std::size_t first, std::size_t end, int wrapWidth) {
    std::size_t start = first;
    do {
        std::size_t next = start + 1;  // a line takes its first character whatever its width
        int width = advances[start];
        while (next < end && width + advances[next] <= wrapWidth) width += advances[next++];
        if (next == end) {
            AddLine(lines, advances, start, end);
            return;
        }
        std::size_t lineEnd = next;
        if (text[next] != ' ') {
            // Back to the last space; without one the word is split here.
            std::size_t space = next;
            while (space > start && text[space - 1] != ' ') --space;
            std::size_t trimmed = space;
            while (trimmed > start && text[trimmed - 1] == ' ') --trimmed;
            if (trimmed > start) {
                lineEnd = trimmed;
                next = space;
            }
        }
        while (lineEnd > start && text[lineEnd - 1] == ' ') --lineEnd;
        AddLine(lines, advances, start, lineEnd > start ? lineEnd : next);
        while (next < end && text[next] == ' ') ++next;
        start = next;
    } while (start < end);
}

}  // namespace

TShownCaption ShownCaption(os::WStringView caption) {
    TShownCaption shown;
    for (std::size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == '&' && i + 1 < caption.size()) {
            ++i;
            if (caption[i] != '&' && shown.accessKey == os::WString::npos) shown.accessKey = shown.text.size();
        }
        shown.text += caption[i];
    }
    return shown;
}

std::vector<TTextLine> BreakLines(os::WStringView text, const std::vector<int>& advances, int wrapWidth) {
    std::vector<TTextLine> lines;
    std::size_t first = 0;
    for (;;) {
        const std::size_t feed = text.find('\n', first);
        const std::size_t end = feed == os::WStringView::npos ? text.size() : feed;
        const std::size_t lineEnd = (end > first && text[end - 1] == '\r') ? end - 1 : end;
        if (wrapWidth > 0 && lineEnd > first)
            WrapParagraph(lines, text, advances, first, lineEnd, wrapWidth);
        else
            AddLine(lines, advances, first, lineEnd);
        if (feed == os::WStringView::npos) return lines;
        first = feed + 1;
    }
}

}  // namespace toolkit
