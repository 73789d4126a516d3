// The picture drawn for a resolution, and the committed PNG variants that the
// build scripts drew: each at the size the program scales its positions to.
#include "toolkit/DpiScale.h"
#include "toolkit/ImageScale.h"
#include "toolkit/PngImage.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::vector<char> FileBytes(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

TEST(ImageScale, TheVariantAtOrAboveTheResolution) {
    const std::pair<int, int> expected[] = {{72, 100},  {96, 100},  {97, 125},  {120, 125}, {121, 150},
                                            {144, 150}, {168, 175}, {169, 200}, {192, 200}, {288, 200}};
    for (auto [dpi, percent] : expected) EXPECT_EQ(toolkit::ImageVariantPercent(dpi), percent) << dpi;
}

TEST(ImageScale, CommittedVariantsHaveTheScaledSizeOfTheirPicture) {
    const std::filesystem::path images =
        std::filesystem::path(__FILE__).parent_path().parent_path().parent_path() / "resources" / "images";
    int pictures = 0;
    for (const auto& entry : std::filesystem::directory_iterator(images)) {
        const std::string name = entry.path().filename().string();
        if (entry.path().extension() != ".png" || name.find('@') != std::string::npos) continue;
        ++pictures;
        std::vector<char> design = FileBytes(entry.path());
        int width = 0, height = 0;
        ASSERT_TRUE(toolkit::ReadPngSize(design.data(), design.size(), width, height)) << name;
        for (int percent : {125, 150, 175, 200}) {
            const int dpi = toolkit::kDesignDpi * percent / 100;
            const auto variantPath = images / (entry.path().stem().string() + "@" + std::to_string(percent) + ".png");
            std::vector<char> variant = FileBytes(variantPath);
            int variantWidth = 0, variantHeight = 0;
            ASSERT_TRUE(toolkit::ReadPngSize(variant.data(), variant.size(), variantWidth, variantHeight)) << variantPath;
            EXPECT_EQ(variantWidth, toolkit::ScaleToDpi(width, dpi)) << variantPath;
            EXPECT_EQ(variantHeight, toolkit::ScaleToDpi(height, dpi)) << variantPath;
            EXPECT_EQ(toolkit::ImageVariantPercent(dpi), percent);
        }
    }
    EXPECT_EQ(pictures, 10);
    int width = 0, height = 0;
    const std::vector<char> layout = FileBytes(images.parent_path() / "layouts" / "main.txt");
    EXPECT_FALSE(toolkit::ReadPngSize(layout.data(), layout.size(), width, height)) << "no PNG";
    EXPECT_FALSE(toolkit::ReadPngSize(nullptr, 0, width, height));
}

std::uint32_t Grey(std::uint32_t value) { return 0xFF000000 | value << 16 | value << 8 | value; }

std::vector<std::uint32_t> Scaled(const std::vector<std::uint32_t>& source, int width, int height, int toWidth,
                                  int toHeight) {
    std::vector<std::uint32_t> target(static_cast<std::size_t>(toWidth) * toHeight);
    toolkit::ScalePixels(source.data(), width, height, target.data(), toWidth, toHeight);
    return target;
}

TEST(ImageScale, ScalingAveragesTheAreaUnderEachPixel) {
    // Four pixels onto three: each target pixel covers 4/3 of a source pixel.
    // (3 × 0 + 1 × 30) / 4 = 7.5, (2 × 30 + 2 × 60) / 4 = 45, (1 × 60 + 3 × 90) / 4 = 82.5.
    EXPECT_EQ((std::vector<std::uint32_t>{Grey(8), Grey(45), Grey(83)}),
              Scaled({Grey(0), Grey(30), Grey(60), Grey(90)}, 4, 1, 3, 1));
    // The same down a column.
    EXPECT_EQ((std::vector<std::uint32_t>{Grey(8), Grey(45), Grey(83)}),
              Scaled({Grey(0), Grey(30), Grey(60), Grey(90)}, 1, 4, 1, 3));
    // Each channel on its own: a transparent and an opaque red pixel make a half-transparent one.
    EXPECT_EQ((std::vector<std::uint32_t>{0x80800000}), Scaled({0, 0xFFFF0000}, 2, 1, 1, 1));
    // Enlarged, a pixel covers the target pixels under it and shares those on its edges.
    EXPECT_EQ((std::vector<std::uint32_t>{Grey(0), Grey(0), Grey(100), Grey(200), Grey(200)}),
              Scaled({Grey(0), Grey(200)}, 2, 1, 5, 1));
    const std::vector<std::uint32_t> square{Grey(1), Grey(2), Grey(3), Grey(4)};
    EXPECT_EQ(square, Scaled(square, 2, 2, 2, 2));
}

TEST(ImageScale, ScaledCommittedPicturesStayPremultipliedAndKeepTheirEdges) {
    const std::filesystem::path images =
        std::filesystem::path(__FILE__).parent_path().parent_path().parent_path() / "resources" / "images";
    const std::vector<char> file = FileBytes(images / "close@125.png");
    const toolkit::PixelImage close = toolkit::DecodePng(
        {reinterpret_cast<const std::uint8_t*>(file.data()), file.size()});
    for (const auto& [width, height] : {std::pair{64, 58}, std::pair{130, 118}, std::pair{37, 33}}) {
        SCOPED_TRACE(width);
        const std::vector<std::uint32_t> scaled = Scaled(close.pixels, close.width, close.height, width, height);
        bool premultiplied = true;
        for (const std::uint32_t pixel : scaled)
            for (int shift : {0, 8, 16}) premultiplied = premultiplied && ((pixel >> shift) & 0xFF) <= pixel >> 24;
        EXPECT_TRUE(premultiplied) << "a colour component exceeds its alpha";
        EXPECT_EQ(close.pixels.front(), scaled.front()) << "the transparent corner";
    }
}

}  // namespace
