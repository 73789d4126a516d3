#pragma once
// The program's PNG images, decoded by the program itself: 8-bit RGBA, not
// interlaced (what scripts/make-images.sh writes), inflated with zlib, then
// unfiltered and premultiplied here. Damaged data raises engine::Exception
// "Invalid PNG image data (...)"; a well-formed PNG of another kind (another
// colour type or depth, interlaced, an unknown critical chunk) raises
// "Unsupported PNG image (...)".

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace toolkit {

// Larger sides are refused rather than allocated.
inline constexpr int kMaxPngSide = 16384;

// Premultiplied BGRA pixels, as a 32-bit DIB holds them (blue in the low
// byte, alpha in the high byte), rows top-down.
struct PixelImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
};

PixelImage DecodePng(std::span<const std::uint8_t> data);

// Width and height from the header of PNG data; false when the data is no PNG.
bool ReadPngSize(const void* data, std::size_t size, int& width, int& height);

}  // namespace toolkit
