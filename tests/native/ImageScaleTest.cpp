// The picture drawn for a resolution, and the committed PNG variants that the
// build scripts drew: each at the size the program scales its positions to.
#include "toolkit/DpiScale.h"
#include "toolkit/ImageScale.h"

#include <gtest/gtest.h>

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

}  // namespace
