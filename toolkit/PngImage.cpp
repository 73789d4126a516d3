#include "toolkit/PngImage.h"

#include "engine/Exception.h"

#define ZLIB_CONST
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace toolkit {
namespace {

constexpr std::array<std::uint8_t, 8> kSignature{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr std::size_t kBytesPerPixel = 4;
// Deflate packs at best 258 bytes into a little over two bits, so no stream
// inflates to more than 1032 times its size.
constexpr std::uint64_t kMaxInflation = 1032;

[[noreturn]] void Damaged(const std::string& what) { throw engine::Exception("Invalid PNG image data (" + what + ")"); }

[[noreturn]] void Unsupported(const std::string& what) { throw engine::Exception("Unsupported PNG image (" + what + ")"); }

std::uint32_t BigEndian(const std::uint8_t* bytes) {
    return std::uint32_t{bytes[0]} << 24 | std::uint32_t{bytes[1]} << 16 | std::uint32_t{bytes[2]} << 8 | bytes[3];
}

bool HasSignature(std::span<const std::uint8_t> data) {
    return data.size() >= kSignature.size() && std::equal(kSignature.begin(), kSignature.end(), data.begin());
}

struct Chunk {
    std::string_view type;
    std::span<const std::uint8_t> data;

    bool IsCritical() const { return type[0] >= 'A' && type[0] <= 'Z'; }
};

bool IsChunkType(std::string_view type) {
    return std::all_of(type.begin(), type.end(), [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); });
}

// The chunks from the first to IEND, each checked for its length, type and CRC.
std::vector<Chunk> ReadChunks(std::span<const std::uint8_t> data) {
    if (!HasSignature(data)) Damaged("no PNG signature");
    std::vector<Chunk> chunks;
    for (std::size_t at = kSignature.size();;) {
        const std::size_t left = data.size() - at;
        if (left < 12) Damaged("cut short before its end");
        const std::uint32_t length = BigEndian(&data[at]);
        if (length > left - 12) Damaged("cut short before its end");
        const std::span<const std::uint8_t> typeAndData = data.subspan(at + 4, 4 + length);
        const Chunk chunk{{reinterpret_cast<const char*>(typeAndData.data()), 4}, typeAndData.subspan(4)};
        if (!IsChunkType(chunk.type)) Damaged("a chunk of no valid type");
        const uLong crc = crc32(crc32(0, nullptr, 0), typeAndData.data(), static_cast<uInt>(typeAndData.size()));
        if (crc != BigEndian(&data[at + 8 + length])) Damaged("the CRC of a " + std::string(chunk.type) + " chunk is wrong");
        chunks.push_back(chunk);
        if (chunk.type == "IEND") return chunks;
        at += 12 + length;
    }
}

struct Header {
    int width;
    int height;
};

Header ReadHeader(const std::vector<Chunk>& chunks) {
    const Chunk& first = chunks.front();
    if (first.type != "IHDR" || first.data.size() != 13) Damaged("no image header");
    const std::uint8_t* fields = first.data.data();
    const std::uint32_t width = BigEndian(fields);
    const std::uint32_t height = BigEndian(fields + 4);
    const int depth = fields[8];
    const int colourType = fields[9];
    if (width == 0 || height == 0 || width > 0x7FFFFFFF || height > 0x7FFFFFFF) Damaged("a size of no pixels");
    if (fields[10] != 0 || fields[11] != 0 || fields[12] > 1) Damaged("an unknown compression, filter or interlace method");
    if (colourType != 6 || depth != 8)
        Unsupported("colour type " + std::to_string(colourType) + " at " + std::to_string(depth) +
                    " bits; only 8-bit RGBA is read");
    if (fields[12] == 1) Unsupported("interlaced");
    if (width > kMaxPngSide || height > kMaxPngSide)
        Unsupported("larger than " + std::to_string(kMaxPngSide) + " pixels a side");
    return {static_cast<int>(width), static_cast<int>(height)};
}

// The IDAT chunks, which hold one zlib stream between them and follow each
// other. A critical chunk that the decoder does not know refuses the image.
std::vector<Chunk> ImageDataChunks(const std::vector<Chunk>& chunks) {
    std::vector<Chunk> parts;
    bool ended = false;
    for (std::size_t i = 1; i < chunks.size(); ++i) {
        const Chunk& chunk = chunks[i];
        if (chunk.type == "IDAT") {
            if (ended) Damaged("IDAT chunks apart");
            parts.push_back(chunk);
            continue;
        }
        ended = !parts.empty();
        if (chunk.type == "IHDR") Damaged("a second image header");
        if (chunk.IsCritical() && chunk.type != "PLTE" && chunk.type != "IEND")
            Unsupported("a critical " + std::string(chunk.type) + " chunk");
    }
    if (parts.empty()) Damaged("no IDAT chunk");
    return parts;
}

// The zlib stream of the IDAT chunks, inflated as rows are asked for.
class ImageDataStream {
public:
    explicit ImageDataStream(const std::vector<Chunk>& parts) : next_(parts.begin()), end_(parts.end()) {
        if (inflateInit(&stream_) != Z_OK) throw engine::Exception("Out of memory while decoding a PNG image");
    }
    ~ImageDataStream() { inflateEnd(&stream_); }
    ImageDataStream(const ImageDataStream&) = delete;
    ImageDataStream& operator=(const ImageDataStream&) = delete;

    // Fills `out` whole.
    void Read(std::span<std::uint8_t> out) {
        stream_.next_out = out.data();
        stream_.avail_out = static_cast<uInt>(out.size());
        while (stream_.avail_out > 0) {
            if (ended_) Damaged("less image data than its size needs");
            Inflate();
        }
    }

    // The stream ends here, its checksum verified.
    void ExpectEnd() {
        std::uint8_t extra = 0;
        while (!ended_) {
            stream_.next_out = &extra;
            stream_.avail_out = 1;
            Inflate();
            if (stream_.avail_out == 0) Damaged("more image data than its size holds");
        }
    }

private:
    void Inflate() {
        if (stream_.avail_in == 0) {
            if (next_ == end_) Damaged("the compressed data is cut short");
            stream_.next_in = next_->data.data();
            stream_.avail_in = static_cast<uInt>(next_->data.size());
            ++next_;
        }
        const int result = inflate(&stream_, Z_NO_FLUSH);
        if (result == Z_STREAM_END) {
            ended_ = true;
        } else if (result != Z_OK && result != Z_BUF_ERROR) {
            Damaged(std::string("the compressed data is damaged: ") + (stream_.msg ? stream_.msg : "zlib error"));
        }
    }

    z_stream stream_{};
    std::vector<Chunk>::const_iterator next_;
    std::vector<Chunk>::const_iterator end_;
    bool ended_ = false;
};

int Paeth(int left, int above, int aboveLeft) {
    const int estimate = left + above - aboveLeft;
    const int toLeft = std::abs(estimate - left);
    const int toAbove = std::abs(estimate - above);
    const int toAboveLeft = std::abs(estimate - aboveLeft);
    if (toLeft <= toAbove && toLeft <= toAboveLeft) return left;
    return toAbove <= toAboveLeft ? above : aboveLeft;
}

// Undoes a row's filter in place; `above` is the row before, unfiltered
// (zeros above the first row).
void Unfilter(std::uint8_t filter, std::span<std::uint8_t> row, std::span<const std::uint8_t> above) {
    const auto left = [&](std::size_t i) { return i >= kBytesPerPixel ? row[i - kBytesPerPixel] : 0; };
    const auto aboveLeft = [&](std::size_t i) { return i >= kBytesPerPixel ? above[i - kBytesPerPixel] : 0; };
    const auto add = [&](std::size_t i, int value) { row[i] = static_cast<std::uint8_t>(row[i] + value); };
    switch (filter) {
    case 0:
        return;
    case 1:
        for (std::size_t i = kBytesPerPixel; i < row.size(); ++i) add(i, row[i - kBytesPerPixel]);
        return;
    case 2:
        for (std::size_t i = 0; i < row.size(); ++i) add(i, above[i]);
        return;
    case 3:
        for (std::size_t i = 0; i < row.size(); ++i) add(i, (left(i) + above[i]) / 2);
        return;
    case 4:
        for (std::size_t i = 0; i < row.size(); ++i) add(i, Paeth(left(i), above[i], aboveLeft(i)));
        return;
    default:
        Damaged("an unknown row filter " + std::to_string(filter));
    }
}

// value × alpha / 255, rounded to the nearest.
std::uint32_t Premultiplied(std::uint32_t value, std::uint32_t alpha) {
    const std::uint32_t product = value * alpha + 128;
    return (product + (product >> 8)) >> 8;
}

void StoreRow(std::span<const std::uint8_t> rgba, std::uint32_t* out) {
    for (std::size_t at = 0; at < rgba.size(); at += kBytesPerPixel) {
        const std::uint32_t alpha = rgba[at + 3];
        *out++ = alpha << 24 | Premultiplied(rgba[at], alpha) << 16 | Premultiplied(rgba[at + 1], alpha) << 8 |
                 Premultiplied(rgba[at + 2], alpha);
    }
}

}  // namespace

PixelImage DecodePng(std::span<const std::uint8_t> data) {
    const std::vector<Chunk> chunks = ReadChunks(data);
    const Header header = ReadHeader(chunks);
    const std::vector<Chunk> parts = ImageDataChunks(chunks);

    const std::size_t rowBytes = kBytesPerPixel * static_cast<std::size_t>(header.width);
    std::uint64_t compressed = 0;
    for (const Chunk& part : parts) compressed += part.data.size();
    if ((rowBytes + 1) * static_cast<std::uint64_t>(header.height) > compressed * kMaxInflation)
        Damaged("too little compressed data for its size");

    PixelImage image{header.width, header.height,
                     std::vector<std::uint32_t>(static_cast<std::size_t>(header.width) * header.height)};
    // Each row: its filter byte, then its bytes; the row above kept unfiltered.
    std::vector<std::uint8_t> row(1 + rowBytes);
    std::vector<std::uint8_t> above(1 + rowBytes);
    ImageDataStream stream(parts);
    for (int y = 0; y < header.height; ++y) {
        stream.Read(row);
        const std::span<std::uint8_t> bytes = std::span(row).subspan(1);
        Unfilter(row[0], bytes, std::span(above).subspan(1));
        StoreRow(bytes, &image.pixels[static_cast<std::size_t>(y) * header.width]);
        row.swap(above);
    }
    stream.ExpectEnd();
    return image;
}

bool ReadPngSize(const void* data, std::size_t size, int& width, int& height) {
    // The signature, then the IHDR chunk: length, type, width and height.
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    if (!bytes || size < 24 || !HasSignature({bytes, size}) || BigEndian(bytes + 8) != 13 ||
        std::memcmp(bytes + 12, "IHDR", 4) != 0)
        return false;
    const std::uint32_t w = BigEndian(bytes + 16);
    const std::uint32_t h = BigEndian(bytes + 20);
    if (w == 0 || h == 0 || w > 0x7FFFFFFF || h > 0x7FFFFFFF) return false;
    width = static_cast<int>(w);
    height = static_cast<int>(h);
    return true;
}

}  // namespace toolkit
