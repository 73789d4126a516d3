// The PNG decoder on images written here chunk by chunk, and on the
// committed images of the program.
#include "toolkit/PngImage.h"

#include "engine/Exception.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

void AppendBigEndian(Bytes& out, std::uint32_t value) {
    for (int shift : {24, 16, 8, 0}) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

Bytes Chunk(std::string_view type, const Bytes& data) {
    Bytes chunk;
    AppendBigEndian(chunk, static_cast<std::uint32_t>(data.size()));
    chunk.insert(chunk.end(), type.begin(), type.end());
    chunk.insert(chunk.end(), data.begin(), data.end());
    const uLong crc = crc32(0, chunk.data() + 4, static_cast<uInt>(chunk.size() - 4));
    AppendBigEndian(chunk, static_cast<std::uint32_t>(crc));
    return chunk;
}

Bytes Header(std::uint32_t width, std::uint32_t height, std::uint8_t depth = 8, std::uint8_t colourType = 6,
             std::uint8_t interlace = 0) {
    Bytes fields;
    AppendBigEndian(fields, width);
    AppendBigEndian(fields, height);
    fields.insert(fields.end(), {depth, colourType, 0, 0, interlace});
    return Chunk("IHDR", fields);
}

Bytes Deflated(const Bytes& rows) {
    uLongf size = compressBound(static_cast<uLong>(rows.size()));
    Bytes out(size);
    EXPECT_EQ(Z_OK, compress(out.data(), &size, rows.data(), static_cast<uLong>(rows.size())));
    out.resize(size);
    return out;
}

Bytes Png(const std::vector<Bytes>& chunks) {
    Bytes png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    for (const Bytes& chunk : chunks) png.insert(png.end(), chunk.begin(), chunk.end());
    return png;
}

// width × height RGBA, the rows given with their filter bytes.
Bytes SimplePng(std::uint32_t width, std::uint32_t height, const Bytes& rows) {
    return Png({Header(width, height), Chunk("IDAT", Deflated(rows)), Chunk("IEND", {})});
}

std::string ErrorOf(const Bytes& png) {
    try {
        toolkit::DecodePng(png);
    } catch (const engine::Exception& error) {
        return error.what();
    }
    return "(no error)";
}

std::uint32_t Opaque(std::uint32_t red, std::uint32_t green, std::uint32_t blue) {
    return 0xFF000000 | red << 16 | green << 8 | blue;
}

TEST(PngImage, PixelsComePremultipliedAsBlueGreenRedAlpha) {
    const Bytes rows{0, 200, 100, 50, 255, 200, 100, 50, 128, 90, 80, 70, 0};
    const toolkit::PixelImage image = toolkit::DecodePng(SimplePng(3, 1, rows));
    EXPECT_EQ(3, image.width);
    EXPECT_EQ(1, image.height);
    // 200 × 128 / 255 = 100.4, 100 × 128 / 255 = 50.2, 50 × 128 / 255 = 25.1.
    EXPECT_EQ((std::vector<std::uint32_t>{0xFFC86432, 0x80643219, 0}), image.pixels);
}

// Above: (10, 10, 30) and (15, 14, 60), opaque; each case's second row holds
// its filter and the bytes that give the pixels expected.
TEST(PngImage, EveryRowFilterIsUndone) {
    const Bytes above{0, 10, 10, 30, 255, 15, 14, 60, 255};
    struct Case {
        const char* filter;
        Bytes row;
        std::vector<std::uint32_t> expected;
    };
    const Case cases[] = {
        {"none", {0, 1, 2, 3, 255, 4, 5, 6, 255}, {Opaque(1, 2, 3), Opaque(4, 5, 6)}},
        // The pixel to the left is added.
        {"sub", {1, 100, 100, 100, 255, 1, 2, 3, 0}, {Opaque(100, 100, 100), Opaque(101, 102, 103)}},
        // The pixel above is added, modulo 256.
        {"up", {2, 1, 1, 250, 0, 250, 2, 2, 0}, {Opaque(11, 11, 24), Opaque(9, 16, 62)}},
        // Half the sum of left and above, rounded down: (0 + 255) / 2 = 127 for the first alpha.
        {"average", {3, 0, 0, 0, 128, 0, 0, 0, 0}, {Opaque(5, 5, 15), Opaque(10, 9, 37)}},
        // First pixel: no left, so the pixel above is predicted. Second pixel,
        // left (0, 8, 30), above (15, 14, 60), above-left (10, 10, 30): red
        // ties left with above-left and takes left (0); green ties above with
        // above-left and takes above (14); blue takes above (60).
        {"paeth", {4, 246, 254, 0, 0, 1, 1, 1, 0}, {Opaque(0, 8, 30), Opaque(1, 15, 61)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.filter);
        Bytes rows = above;
        rows.insert(rows.end(), c.row.begin(), c.row.end());
        const toolkit::PixelImage image = toolkit::DecodePng(SimplePng(2, 2, rows));
        ASSERT_EQ(4u, image.pixels.size());
        EXPECT_EQ(Opaque(10, 10, 30), image.pixels[0]);
        EXPECT_EQ(c.expected, std::vector<std::uint32_t>(image.pixels.begin() + 2, image.pixels.end()));
    }
}

TEST(PngImage, DataSplitOverChunksWithOthersBetweenThemDecodes) {
    const Bytes rows{0, 1, 2, 3, 255, 0, 4, 5, 6, 255};
    const Bytes stream = Deflated(rows);
    const Bytes png = Png({Header(1, 2), Chunk("tEXt", {'a', 0, 'b'}), Chunk("PLTE", {0, 0, 0}),
                           Chunk("IDAT", Bytes(stream.begin(), stream.begin() + 3)), Chunk("IDAT", {}),
                           Chunk("IDAT", Bytes(stream.begin() + 3, stream.end())), Chunk("tIME", Bytes(7)),
                           Chunk("IEND", {})});
    EXPECT_EQ((std::vector<std::uint32_t>{Opaque(1, 2, 3), Opaque(4, 5, 6)}), toolkit::DecodePng(png).pixels);
}

TEST(PngImage, OtherKindsOfPngAreRefusedAsUnsupported) {
    const Bytes idat = Chunk("IDAT", Deflated(Bytes{0, 1, 2, 3, 4}));
    const Bytes end = Chunk("IEND", {});
    const std::vector<Bytes> kinds = {
        Png({Header(1, 1, 8, 2), idat, end}),      // RGB
        Png({Header(1, 1, 16, 6), idat, end}),     // 16-bit RGBA
        Png({Header(1, 1, 8, 3), idat, end}),      // palette
        Png({Header(1, 1, 8, 6, 1), idat, end}),   // interlaced
        Png({Header(20000, 1), idat, end}),        // wider than the decoder reads
        Png({Header(1, 1), Chunk("ABCD", {}), idat, end}),
    };
    for (const Bytes& png : kinds) EXPECT_EQ(0u, ErrorOf(png).find("Unsupported PNG image (")) << ErrorOf(png);
}

TEST(PngImage, DamagedDataIsRefused) {
    const Bytes rows{0, 1, 2, 3, 255, 0, 4, 5, 6, 255};
    const Bytes good = SimplePng(1, 2, rows);
    ASSERT_EQ("(no error)", ErrorOf(good));

    Bytes wrongCrc = good;
    wrongCrc[30] ^= 1;
    Bytes badFilter = rows;
    badFilter[5] = 5;
    const Bytes idat = Chunk("IDAT", Deflated(rows));
    const Bytes end = Chunk("IEND", {});
    Bytes damagedStream = Deflated(rows);
    damagedStream.back() ^= 0xFF;  // the Adler-32 checksum
    const std::vector<std::pair<const char*, Bytes>> damaged = {
        {"empty", {}},
        {"no signature", Bytes(good.begin() + 1, good.end())},
        {"cut short", Bytes(good.begin(), good.end() - 13)},
        {"wrong CRC", wrongCrc},
        {"unknown filter", SimplePng(1, 2, badFilter)},
        {"too few rows", SimplePng(1, 3, rows)},
        {"too many rows", SimplePng(1, 1, rows)},
        {"checksum", Png({Header(1, 2), Chunk("IDAT", damagedStream), end})},
        {"no IDAT", Png({Header(1, 2), end})},
        {"IDAT apart", Png({Header(1, 2), idat, Chunk("tEXt", {'a', 0}), idat, end})},
        {"header not first", Png({idat, Header(1, 2), end})},
        {"two headers", Png({Header(1, 2), Header(1, 2), idat, end})},
        {"no pixels", Png({Header(0, 2), idat, end})},
        {"more pixels than the data can hold", Png({Header(16384, 16384), idat, end})},
    };
    for (const auto& [what, png] : damaged)
        EXPECT_EQ(0u, ErrorOf(png).find("Invalid PNG image data (")) << what << ": " << ErrorOf(png);
}

TEST(PngImage, EveryCommittedImageDecodesWithTransparentAndOpaquePixels) {
    const std::filesystem::path images =
        std::filesystem::path(__FILE__).parent_path().parent_path().parent_path() / "resources" / "images";
    int decoded = 0;
    for (const auto& entry : std::filesystem::directory_iterator(images)) {
        if (entry.path().extension() != ".png") continue;
        SCOPED_TRACE(entry.path().filename().string());
        std::ifstream file(entry.path(), std::ios::binary);
        const Bytes png{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
        const toolkit::PixelImage image = toolkit::DecodePng(png);
        int width = 0, height = 0;
        ASSERT_TRUE(toolkit::ReadPngSize(png.data(), png.size(), width, height));
        EXPECT_EQ(width, image.width);
        EXPECT_EQ(height, image.height);
        int transparent = 0, opaque = 0;
        for (const std::uint32_t pixel : image.pixels) {
            transparent += pixel == 0;
            opaque += pixel >> 24 == 255;
        }
        EXPECT_GT(transparent, 0);
        EXPECT_GT(opaque, 0);
        ++decoded;
    }
    EXPECT_EQ(50, decoded);
}

}  // namespace
