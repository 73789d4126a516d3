#include "toolkit/ImageScale.h"

#include "toolkit/DpiScale.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace toolkit {

int ImageVariantPercent(int dpi) {
    for (int percent : {100, 125, 150, 175})
        if (dpi * 100 <= kDesignDpi * percent) return percent;
    return 200;
}

bool ReadPngSize(const void* data, std::size_t size, int& width, int& height) {
    // Signature, then the IHDR chunk: length, type, width and height (big-endian).
    static constexpr std::array<unsigned char, 16> kStart{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n',
                                                          0,    0,   0,   13,  'I',  'H',  'D',  'R'};
    const auto* bytes = static_cast<const unsigned char*>(data);
    if (!bytes || size < 24 || std::memcmp(bytes, kStart.data(), kStart.size()) != 0) return false;
    const auto bigEndian = [bytes](std::size_t at) {
        return (std::uint32_t{bytes[at]} << 24) | (std::uint32_t{bytes[at + 1]} << 16) |
               (std::uint32_t{bytes[at + 2]} << 8) | std::uint32_t{bytes[at + 3]};
    };
    const std::uint32_t w = bigEndian(16);
    const std::uint32_t h = bigEndian(20);
    if (w == 0 || h == 0 || w > 0x7FFFFFFF || h > 0x7FFFFFFF) return false;
    width = static_cast<int>(w);
    height = static_cast<int>(h);
    return true;
}

}  // namespace toolkit
