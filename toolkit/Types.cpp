#include "toolkit/Types.h"

#include "os/Text.h"

#include <array>

namespace toolkit {
namespace {

struct NamedCursor {
    const char* name;
    TCursor cursor;
};

constexpr std::array<NamedCursor, 5> kCursors{{
    {"crDefault", crDefault}, {"crArrow", crArrow}, {"crIBeam", crIBeam},
    {"crHourGlass", crHourGlass}, {"crHandPoint", crHandPoint},
}};

}  // namespace

HCURSOR CursorHandle(TCursor cursor) {
    switch (cursor) {
        case crIBeam: return LoadCursorW(nullptr, IDC_IBEAM);
        case crHourGlass: return LoadCursorW(nullptr, IDC_WAIT);
        case crHandPoint: return LoadCursorW(nullptr, IDC_HAND);
        default: return LoadCursorW(nullptr, IDC_ARROW);
    }
}

bool CursorFromName(std::string_view name, TCursor& cursor) {
    for (const NamedCursor& named : kCursors)
        if (os::EqualsIgnoringCase(name, named.name)) {
            cursor = named.cursor;
            return true;
        }
    return false;
}

}  // namespace toolkit
