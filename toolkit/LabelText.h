#pragma once
// The lines of a label's caption, worked out from the advance of every
// character as GDI measured it. A label sizes itself and paints from the same
// lines and advances, so its text is drawn exactly where it was measured.

#include "os/Text.h"

#include <cstddef>
#include <vector>

namespace toolkit {

// A caption as a label shows it: the "&" marks taken out, "&&" read as "&".
struct TShownCaption {
    os::WString text;
    // The character drawn underlined: the one after the first single "&".
    std::size_t accessKey = os::WString::npos;
};
TShownCaption ShownCaption(os::WStringView caption);

struct TTextLine {
    std::size_t first = 0;  // index of its first character
    std::size_t count = 0;
    int width = 0;          // its characters' advances added up
};

// A line feed (with a carriage return before it) ends a line. With a positive
// wrap width a line also ends at the last space that keeps it within the width;
// the spaces there belong to neither line, and a word wider than a line of its
// own is split between characters. Every wrapped line keeps one character at
// least. advances holds one width per character.
std::vector<TTextLine> BreakLines(os::WStringView text, const std::vector<int>& advances, int wrapWidth);

}  // namespace toolkit
