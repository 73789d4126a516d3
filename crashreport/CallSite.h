#pragma once
// Whether a value found on the stack can be a return address: the bytes just
// before it must form an x86/x64 call instruction.

#include <cstddef>
#include <cstdint>

namespace crashreport {

// The longest call form (FF /2 with SIB and a 32-bit displacement).
inline constexpr std::size_t kLongestCall = 7;

// `before` holds the `count` bytes that precede the candidate address, the last
// of them immediately before it (fewer than kLongestCall near the start of a
// region). True for the direct form E8 rel32 and for every indirect form
// FF /2: register, memory through a register, SIB, 8- and 32-bit
// displacements and the absolute / RIP-relative form. A REX prefix in front
// of FF changes nothing at these offsets.
bool PrecededByCall(const std::uint8_t* before, std::size_t count);

}  // namespace crashreport
