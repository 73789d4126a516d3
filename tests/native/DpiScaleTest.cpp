#include "MachineTest.h"
#include "toolkit/DpiScale.h"

#include <gtest/gtest.h>

namespace {

using DpiScale = MachineTest;

TEST_F(DpiScale, DesignResolutionKeepsPositions) {
    EXPECT_EQ(toolkit::ScaleToDpi(540, 96), 540);
    EXPECT_EQ(toolkit::ScaleToDpi(-12, 96), -12);
    EXPECT_EQ(toolkit::ScaleToDpi(0, 144), 0);
}

TEST_F(DpiScale, LargerResolutionsScaleAndRoundHalfAwayFromZero) {
    EXPECT_EQ(toolkit::ScaleToDpi(540, 120), 675);
    EXPECT_EQ(toolkit::ScaleToDpi(416, 144), 624);
    EXPECT_EQ(toolkit::ScaleToDpi(1, 144), 2);     // 1.5
    EXPECT_EQ(toolkit::ScaleToDpi(-3, 120), -4);   // -3.75
    EXPECT_EQ(toolkit::ScaleToDpi(-12, 120), -15);
    EXPECT_EQ(toolkit::ScaleToDpi(7, 168), 12);    // 12.25
    EXPECT_EQ(toolkit::ScaleToDpi(65, 72), 49);    // 48.75
}

TEST_F(DpiScale, UnscalingReturnsDesignPixels) {
    for (int dpi : {96, 120, 144, 192})
        for (int value : {0, 1, 8, 25, 99, 361, 540})
            EXPECT_EQ(toolkit::UnscaleFromDpi(toolkit::ScaleToDpi(value, dpi), dpi), value) << value << " at " << dpi;
}

TEST_F(DpiScale, FontHeightsAndPoints) {
    EXPECT_EQ(toolkit::PointsToHeight(8, 96), -11);
    EXPECT_EQ(toolkit::PointsToHeight(9, 96), -12);
    EXPECT_EQ(toolkit::PointsToHeight(8, 120), -13);
    EXPECT_EQ(toolkit::HeightToPoints(-12, 96), 9);
    EXPECT_EQ(toolkit::HeightToPoints(-11, 96), 8);
    EXPECT_EQ(toolkit::HeightToPoints(-13, 96), 10);
    EXPECT_EQ(toolkit::HeightToPoints(-15, 120), 9);
}

// Font heights are negative and lengths positive: both round the same way,
// so a font and the label it sizes grow alike.
TEST_F(DpiScale, NegativeAndPositiveValuesRoundAlike) {
    for (int dpi : {96, 120, 144, 168, 192})
        for (int value = 0; value <= 100; ++value)
            EXPECT_EQ(toolkit::ScaleToDpi(-value, dpi), -toolkit::ScaleToDpi(value, dpi)) << value << " at " << dpi;
}

TEST_F(DpiScale, LargeValuesDoNotOverflow) {
    EXPECT_EQ(toolkit::ScaleToDpi(100000000, 480), 500000000);
    EXPECT_EQ(toolkit::ScaleToDpi(-100000000, 480), -500000000);
}

}  // namespace
