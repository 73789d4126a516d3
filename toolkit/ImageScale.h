#pragma once
// Pictures come drawn at 100, 125, 150, 175 and 200 % of their size at
// 96 dpi. A window shows the variant for its resolution at the size that its
// positions get there: each side of the 96-dpi size through ScaleToDpi.

#include <cstdint>

namespace toolkit {

// The variant to draw from at `dpi`: the nearest at or above it, and 200 %
// above 192 dpi (that variant is then scaled up).
int ImageVariantPercent(int dpi);

// Scales premultiplied 32-bit pixels (rows top-down, four 8-bit channels)
// from sourceWidth × sourceHeight to width × height: each target pixel is the
// average of the source area under it, each source pixel weighted by the part
// of it that lies there. Premultiplied pixels stay premultiplied, so
// transparent edges get no dark fringe.
void ScalePixels(const std::uint32_t* source, int sourceWidth, int sourceHeight, std::uint32_t* target, int width,
                 int height);

}  // namespace toolkit
