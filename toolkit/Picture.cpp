#include "toolkit/Picture.h"

#include "engine/Exception.h"
#include "os/Text.h"
#include "toolkit/ImageScale.h"
#include "toolkit/PngImage.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>

namespace toolkit {

namespace {

// Deletes a GDI bitmap unless released.
class BitmapGuard {
public:
    explicit BitmapGuard(HBITMAP bitmap) : bitmap_(bitmap) {}
    ~BitmapGuard() {
        if (bitmap_) DeleteObject(bitmap_);
    }
    BitmapGuard(const BitmapGuard&) = delete;
    BitmapGuard& operator=(const BitmapGuard&) = delete;
    HBITMAP Release() { return std::exchange(bitmap_, nullptr); }

private:
    HBITMAP bitmap_;
};

// A memory DC with one bitmap selected into it for the lifetime of the object.
class MemoryDC {
public:
    MemoryDC(HDC reference, HBITMAP bitmap) : dc_(CreateCompatibleDC(reference)) {
        if (dc_) previous_ = SelectObject(dc_, bitmap);
    }
    ~MemoryDC() {
        if (!dc_) return;
        SelectObject(dc_, previous_);
        DeleteDC(dc_);
    }
    MemoryDC(const MemoryDC&) = delete;
    MemoryDC& operator=(const MemoryDC&) = delete;
    HDC Get() const { return dc_; }

private:
    HDC dc_;
    HGDIOBJ previous_ = nullptr;
};

std::string ResourceLabel(const wchar_t* resourceName) {
    if (IS_INTRESOURCE(resourceName))
        return "#" + std::to_string(reinterpret_cast<ULONG_PTR>(resourceName));
    return os::ToUtf8(resourceName);
}

}  // namespace

std::string_view RawResource(HMODULE module, const wchar_t* resourceName) {
    HRSRC info = FindResourceW(module, resourceName, RT_RCDATA);
    HGLOBAL loaded = info ? LoadResource(module, info) : nullptr;
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data) return {};
    return {static_cast<const char*>(data), SizeofResource(module, info)};
}

Picture::~Picture() { Release(); }

Picture::Picture(Picture&& other) noexcept
    : bitmap_(std::exchange(other.bitmap_, nullptr)),
      width_(std::exchange(other.width_, 0)),
      height_(std::exchange(other.height_, 0)) {}

Picture& Picture::operator=(Picture&& other) noexcept {
    if (this != &other) {
        Release();
        bitmap_ = std::exchange(other.bitmap_, nullptr);
        width_ = std::exchange(other.width_, 0);
        height_ = std::exchange(other.height_, 0);
    }
    return *this;
}

void Picture::Release() {
    if (bitmap_) DeleteObject(bitmap_);
    bitmap_ = nullptr;
    width_ = height_ = 0;
}

Picture Picture::FromPngBytes(const void* data, size_t size) { return FromPngBytes(data, size, 0, 0); }

Picture Picture::FromPngBytes(const void* data, size_t size, int requestedWidth, int requestedHeight) {
    if (requestedWidth < 0 || requestedHeight < 0 || requestedWidth > kMaxPngSide || requestedHeight > kMaxPngSide)
        throw engine::Exception("Invalid picture size requested");
    if (data == nullptr || size == 0) throw engine::Exception("Invalid PNG image data (no data)");
    const PixelImage image = DecodePng({static_cast<const std::uint8_t*>(data), size});
    const bool keepSize = requestedWidth == 0 || requestedHeight == 0;
    const int width = keepSize ? image.width : requestedWidth;
    const int height = keepSize ? image.height : requestedHeight;

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down, like the decoded rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    BitmapGuard bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (bits == nullptr) throw engine::Exception("Out of GDI resources while creating a picture");

    auto* pixels = static_cast<std::uint32_t*>(bits);
    if (width == image.width && height == image.height)
        std::copy(image.pixels.begin(), image.pixels.end(), pixels);
    else
        ScalePixels(image.pixels.data(), image.width, image.height, pixels, width, height);
    GdiFlush();
    return Picture(bitmap.Release(), width, height);
}

Picture Picture::FromResource(HMODULE module, const wchar_t* resourceName, int width, int height) {
    const std::string_view data = RawResource(module, resourceName);
    if (data.empty()) throw engine::Exception("Image resource \"" + ResourceLabel(resourceName) + "\" not found");
    try {
        return FromPngBytes(data.data(), data.size(), width, height);
    } catch (const engine::Exception& error) {
        throw engine::Exception("Image resource \"" + ResourceLabel(resourceName) + "\": " + error.what());
    }
}

void Picture::Draw(HDC dc, int x, int y) const { Draw(dc, x, y, width_, height_); }

void Picture::Draw(HDC dc, int x, int y, int width, int height) const {
    if (Empty() || width <= 0 || height <= 0) return;
    MemoryDC source(dc, bitmap_);
    if (!source.Get()) return;
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    // gdi32's own AlphaBlend: msimg32, which forwards to it, is no known DLL,
    // and a DLL of that name beside the program would be loaded in its place.
    GdiAlphaBlend(dc, x, y, width, height, source.Get(), 0, 0, width_, height_, blend);
}

}  // namespace toolkit
