#include "toolkit/DpiScale.h"

#include <cstdint>

namespace toolkit {
namespace {

// MulDiv: a * b / c with the product in 64 bits, rounded half away from zero.
int MulDivRounded(int a, int b, int c) {
    if (c == 0) return -1;
    std::int64_t product = static_cast<std::int64_t>(a) * b;
    bool negative = (product < 0) != (c < 0);
    std::int64_t magnitude = product < 0 ? -product : product;
    std::int64_t divisor = c < 0 ? -static_cast<std::int64_t>(c) : c;
    std::int64_t quotient = (magnitude + divisor / 2) / divisor;
    return static_cast<int>(negative ? -quotient : quotient);
}

}  // namespace

int ScaleToDpi(int value, int dpi) { return dpi == kDesignDpi ? value : MulDivRounded(value, dpi, kDesignDpi); }

int UnscaleFromDpi(int value, int dpi) { return dpi == kDesignDpi ? value : MulDivRounded(value, kDesignDpi, dpi); }

int PointsToHeight(int points, int dpi) { return -MulDivRounded(points, dpi, 72); }

int HeightToPoints(int height, int dpi) { return MulDivRounded(-height, 72, dpi); }

}  // namespace toolkit
