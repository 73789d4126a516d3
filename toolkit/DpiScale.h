#pragma once
// Layout positions are stored at 96 pixels per inch and scaled to the screen's
// resolution when a window is created.

namespace toolkit {

inline constexpr int kDesignDpi = 96;

// value * dpi / 96, rounded half away from zero, as MulDiv rounds.
int ScaleToDpi(int value, int dpi);
// The inverse, for reading a scaled position back in design pixels.
int UnscaleFromDpi(int value, int dpi);

// Font heights in pixels (negative: character height) and points.
int PointsToHeight(int points, int dpi);
int HeightToPoints(int height, int dpi);

}  // namespace toolkit
