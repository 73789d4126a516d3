#include "toolkit/ImageScale.h"

#include "toolkit/DpiScale.h"

#include <algorithm>
#include <cstddef>
#include <vector>

namespace toolkit {
namespace {

// One row or column: `from` pixels, `step` apart, spread over `to` pixels.
// In units of 1/to of a source pixel, target pixel t covers
// [t × from, (t + 1) × from) and source pixel s covers [s × to, (s + 1) × to).
void ScaleLine(const std::uint32_t* source, std::ptrdiff_t sourceStep, int from, std::uint32_t* target,
               std::ptrdiff_t targetStep, int to) {
    for (std::int64_t t = 0; t < to; ++t) {
        const std::int64_t begin = t * from;
        const std::int64_t end = begin + from;
        std::uint64_t sums[4] = {};
        for (std::int64_t s = begin / to; s * to < end; ++s) {
            const std::uint64_t weight = std::min(end, (s + 1) * to) - std::max(begin, s * to);
            const std::uint32_t pixel = source[s * sourceStep];
            for (int channel = 0; channel < 4; ++channel) sums[channel] += weight * ((pixel >> (8 * channel)) & 0xFF);
        }
        std::uint32_t average = 0;
        for (int channel = 0; channel < 4; ++channel)
            average |= static_cast<std::uint32_t>((sums[channel] + from / 2) / from) << (8 * channel);
        target[t * targetStep] = average;
    }
}

}  // namespace

int ImageVariantPercent(int dpi) {
    for (int percent : {100, 125, 150, 175})
        if (dpi * 100 <= kDesignDpi * percent) return percent;
    return 200;
}

void ScalePixels(const std::uint32_t* source, int sourceWidth, int sourceHeight, std::uint32_t* target, int width,
                 int height) {
    // Across each row first, then down each column of the narrowed rows.
    std::vector<std::uint32_t> rows(static_cast<std::size_t>(width) * sourceHeight);
    for (std::ptrdiff_t y = 0; y < sourceHeight; ++y)
        ScaleLine(source + y * sourceWidth, 1, sourceWidth, rows.data() + y * width, 1, width);
    for (std::ptrdiff_t x = 0; x < width; ++x) ScaleLine(rows.data() + x, width, sourceHeight, target + x, width, height);
}

}  // namespace toolkit
