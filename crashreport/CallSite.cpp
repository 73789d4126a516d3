#include "crashreport/CallSite.h"

namespace crashreport {
namespace {

constexpr std::uint8_t kCallRel32 = 0xE8;
constexpr std::uint8_t kGroup5 = 0xFF;  // FF /2 is the indirect near call
constexpr unsigned kCallNearIndirect = 2;

// Length of FF /2 from its ModRM byte (and SIB byte, when there is one).
std::size_t IndirectCallLength(std::uint8_t modrm, std::uint8_t sib, bool haveSib) {
    const unsigned mod = modrm >> 6;
    const unsigned rm = modrm & 7;
    const bool usesSib = mod != 3 && rm == 4;
    if (usesSib && !haveSib) return 0;
    switch (mod) {
    case 0:
        if (usesSib) return (sib & 7) == 5 ? 7 : 3;  // base 101: disp32 without base
        return rm == 5 ? 6 : 2;                         // rm 101: disp32 (RIP-relative on x64)
    case 1:
        return usesSib ? 4 : 3;
    case 2:
        return usesSib ? 7 : 6;
    default:
        return 2;
    }
}

}  // namespace

bool PrecededByCall(const std::uint8_t* before, std::size_t count) {
    const std::uint8_t* end = before + count;
    if (count >= 5 && end[-5] == kCallRel32) return true;
    for (std::size_t length = 2; length <= kLongestCall && length <= count; ++length) {
        const std::uint8_t* start = end - length;
        if (start[0] != kGroup5) continue;
        const std::uint8_t modrm = start[1];
        if (((modrm >> 3) & 7) != kCallNearIndirect) continue;
        const bool haveSib = length >= 3;
        if (IndirectCallLength(modrm, haveSib ? start[2] : 0, haveSib) == length) return true;
    }
    return false;
}

}  // namespace crashreport
