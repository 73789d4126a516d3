// libFuzzer target: the PNG decoder and the pixel scaler. Byte 0 chooses the
// input's form:
//   below 128: the rest is PNG data as it lies in a resource;
//   128 and up: the rest is a recipe: width and height (1 to 16), a filter
//     byte per row and the RGBA pixels, written here into a PNG (each row
//     filtered as its byte says), then damaged by the (position, value) pairs
//     that follow the pixels. Bit 6 of byte 0 recomputes the chunks' CRCs
//     after the damage, so that it reaches the header and the compressed data.
//
// Checks beyond ending without a crash or sanitizer report: a failure is an
// engine::Exception naming invalid or unsupported data; a decoded image has
// its header's size and premultiplied pixels; an undamaged recipe decodes to
// exactly its pixels, premultiplied; scaling keeps pixels premultiplied.
#include "engine/Exception.h"
#include "toolkit/ImageScale.h"
#include "toolkit/PngImage.h"

#include "FuzzInput.h"

#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace {

using fuzz::Reader;

using Bytes = std::vector<std::uint8_t>;

void Check(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "png_image_fuzzer: %s\n", what);
    std::abort();
}

void AppendBigEndian(Bytes& out, std::uint32_t value) {
    for (int shift : {24, 16, 8, 0}) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

void AppendChunk(Bytes& png, std::string_view type, const Bytes& data) {
    AppendBigEndian(png, static_cast<std::uint32_t>(data.size()));
    png.insert(png.end(), type.begin(), type.end());
    png.insert(png.end(), data.begin(), data.end());
    png.insert(png.end(), 4, 0);  // the CRC, written by WriteCrcs
}

std::uint32_t BigEndian(const std::uint8_t* bytes) {
    return std::uint32_t{bytes[0]} << 24 | std::uint32_t{bytes[1]} << 16 | std::uint32_t{bytes[2]} << 8 | bytes[3];
}

// Computes each chunk's CRC, as far as the lengths lead.
void WriteCrcs(Bytes& png) {
    for (std::size_t at = 8; at + 12 <= png.size();) {
        const std::uint32_t length = BigEndian(&png[at]);
        if (length > png.size() - at - 12) return;
        const uLong crc = crc32(0, &png[at + 4], 4 + length);
        for (int i = 0; i < 4; ++i) png[at + 8 + length + i] = static_cast<std::uint8_t>(crc >> (24 - 8 * i));
        at += 12 + length;
    }
}

int Predicted(int filter, int left, int above, int aboveLeft) {
    switch (filter) {
    case 1: return left;
    case 2: return above;
    case 3: return (left + above) / 2;
    case 4: {
        const int toLeft = std::abs(above - aboveLeft);
        const int toAbove = std::abs(left - aboveLeft);
        const int toAboveLeft = std::abs(left + above - 2 * aboveLeft);
        return toLeft <= toAbove && toLeft <= toAboveLeft ? left : toAbove <= toAboveLeft ? above : aboveLeft;
    }
    default: return 0;
    }
}

struct Recipe {
    int width;
    int height;
    Bytes pixels;  // RGBA
    Bytes png;
};

Recipe WriteRecipe(Reader& in) {
    Recipe recipe{in.Byte() % 16 + 1, in.Byte() % 16 + 1, {}, {}};
    const std::size_t rowBytes = 4 * static_cast<std::size_t>(recipe.width);
    Bytes filtered;
    for (int y = 0; y < recipe.height; ++y) {
        const int filter = in.Byte() % 5;
        filtered.push_back(static_cast<std::uint8_t>(filter));
        for (std::size_t i = 0; i < rowBytes; ++i) recipe.pixels.push_back(in.Byte());
        const std::uint8_t* row = &recipe.pixels[y * rowBytes];
        const std::uint8_t* above = y > 0 ? row - rowBytes : nullptr;
        for (std::size_t i = 0; i < rowBytes; ++i) {
            const int left = i >= 4 ? row[i - 4] : 0;
            const int up = above ? above[i] : 0;
            const int upLeft = above && i >= 4 ? above[i - 4] : 0;
            filtered.push_back(static_cast<std::uint8_t>(row[i] - Predicted(filter, left, up, upLeft)));
        }
    }
    uLongf size = compressBound(static_cast<uLong>(filtered.size()));
    Bytes compressed(size);
    compress(compressed.data(), &size, filtered.data(), static_cast<uLong>(filtered.size()));
    compressed.resize(size);

    Bytes header;
    AppendBigEndian(header, static_cast<std::uint32_t>(recipe.width));
    AppendBigEndian(header, static_cast<std::uint32_t>(recipe.height));
    header.insert(header.end(), {8, 6, 0, 0, 0});
    recipe.png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    AppendChunk(recipe.png, "IHDR", header);
    AppendChunk(recipe.png, "IDAT", compressed);
    AppendChunk(recipe.png, "IEND", {});
    WriteCrcs(recipe.png);
    return recipe;
}

bool Premultiplied(const std::vector<std::uint32_t>& pixels) {
    for (const std::uint32_t pixel : pixels)
        for (int shift : {0, 8, 16})
            if (((pixel >> shift) & 0xFF) > pixel >> 24) return false;
    return true;
}

std::uint32_t PremultipliedPixel(const std::uint8_t* rgba) {
    const auto times = [alpha = rgba[3]](std::uint8_t value) {
        return static_cast<std::uint32_t>((value * alpha * 2 + 255) / 510);  // rounded to the nearest
    };
    return std::uint32_t{rgba[3]} << 24 | times(rgba[0]) << 16 | times(rgba[1]) << 8 | times(rgba[2]);
}

// Decodes, checks the outcome, and scales a decoded image to a size from `sizes`.
void DecodeAndScale(std::span<const std::uint8_t> png, Reader sizes, const Recipe* undamaged) {
    toolkit::PixelImage image;
    try {
        image = toolkit::DecodePng(png);
    } catch (const engine::Exception& error) {
        const std::string message = error.what();
        Check(message.starts_with("Invalid PNG image data (") || message.starts_with("Unsupported PNG image ("),
              "an error that says neither invalid nor unsupported");
        Check(!undamaged, "the writer's own PNG does not decode");
        return;
    }
    int width = 0, height = 0;
    Check(toolkit::ReadPngSize(png.data(), png.size(), width, height), "a decoded image whose size cannot be read");
    Check(image.width == width && image.height == height, "an image of another size than its header's");
    Check(image.pixels.size() == static_cast<std::size_t>(width) * height, "pixels missing");
    Check(Premultiplied(image.pixels), "a colour component exceeds its alpha");
    if (undamaged)
        for (std::size_t i = 0; i < image.pixels.size(); ++i)
            Check(image.pixels[i] == PremultipliedPixel(&undamaged->pixels[4 * i]), "a pixel decoded wrong");

    const int toWidth = sizes.Byte() % 40 + 1;
    const int toHeight = sizes.Byte() % 40 + 1;
    if (static_cast<std::size_t>(width) * height > 1 << 20) return;
    std::vector<std::uint32_t> scaled(static_cast<std::size_t>(toWidth) * toHeight);
    toolkit::ScalePixels(image.pixels.data(), width, height, scaled.data(), toWidth, toHeight);
    Check(Premultiplied(scaled), "a scaled colour component exceeds its alpha");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const std::span<const std::uint8_t> input(data + 1, size - 1);
    if (data[0] < 128) {
        const Bytes png(input.begin(), input.end());  // exactly the input: ASan sees overreads
        DecodeAndScale(png, Reader(input.last(std::min<std::size_t>(2, input.size()))), nullptr);
        return 0;
    }

    Reader in(input);
    Recipe recipe = WriteRecipe(in);
    const std::span<const std::uint8_t> damage = in.Rest();
    for (std::size_t i = 0; i + 2 < damage.size(); i += 3)
        recipe.png[(damage[i] | std::size_t(damage[i + 1]) << 8) % recipe.png.size()] = damage[i + 2];
    if (data[0] & 0x40) WriteCrcs(recipe.png);
    DecodeAndScale(recipe.png, Reader(damage), damage.size() < 3 ? &recipe : nullptr);
    return 0;
}
