#pragma once
// Pictures come drawn at 100, 125, 150, 175 and 200 % of their size at
// 96 dpi. A window shows the variant for its resolution at the size that its
// positions get there: each side of the 96-dpi size through ScaleToDpi.

#include <cstddef>

namespace toolkit {

// The variant to draw from at `dpi`: the nearest at or above it, and 200 %
// above 192 dpi (that variant is then scaled up).
int ImageVariantPercent(int dpi);

// Width and height from the header of PNG data; false when the data is no PNG.
bool ReadPngSize(const void* data, std::size_t size, int& width, int& height);

}  // namespace toolkit
