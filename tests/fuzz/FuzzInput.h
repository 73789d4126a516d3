#pragma once
// A fuzz target's input, read byte by byte: past its end every byte reads 0.

#include <algorithm>
#include <cstdint>
#include <span>

namespace fuzz {

class Reader {
public:
    explicit Reader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    bool AtEnd() const { return at_ >= bytes_.size(); }
    std::uint8_t Byte() { return AtEnd() ? 0 : bytes_[at_++]; }
    std::uint32_t Word16() { return Byte() | std::uint32_t(Byte()) << 8; }
    std::span<const std::uint8_t> Rest() const { return bytes_.subspan(std::min(at_, bytes_.size())); }

private:
    std::span<const std::uint8_t> bytes_;
    std::size_t at_ = 0;
};

}  // namespace fuzz
