#include "toolkit/Picture.h"

#include "engine/Exception.h"
#include "os/Text.h"

#include <wincodec.h>
#include <wrl/client.h>

#include <limits>
#include <string>
#include <utility>

namespace toolkit {

namespace {

using Microsoft::WRL::ComPtr;

// The factory that an ImagingScope shares among the decodes of its thread.
struct SharedFactory {
    bool active = false;
    ComPtr<IWICImagingFactory> factory;
};
thread_local SharedFactory t_shared;

// Larger pictures than this are treated as damaged data rather than allocated.
constexpr UINT kMaxSide = 16384;

[[noreturn]] void ThrowDamaged(const char* step, HRESULT hr) {
    char code[16];
    wsprintfA(code, "0x%08lX", static_cast<unsigned long>(hr));
    throw engine::Exception(std::string("Invalid PNG image data (") + step + " failed, " + code + ")");
}

void Check(HRESULT hr, const char* step) {
    if (FAILED(hr)) ThrowDamaged(step, hr);
}

// Decoded pixels ready to copy, and whether they still need their colours
// multiplied by their alpha.
struct DecodedFrame {
    ComPtr<IWICBitmapSource> source;
    bool premultiply = false;
};

DecodedFrame DecodePngFrame(IWICImagingFactory* factory, const void* data, size_t size, UINT width, UINT height) {
    ComPtr<IWICStream> stream;
    Check(factory->CreateStream(&stream), "creating the stream");
    // The stream only reads the bytes; the interface merely lacks const.
    Check(stream->InitializeFromMemory(static_cast<BYTE*>(const_cast<void*>(data)), static_cast<DWORD>(size)),
          "reading the data");
    ComPtr<IWICBitmapDecoder> decoder;
    // By its class: the factory's CreateDecoder would first read the
    // registration of every installed codec.
    Check(CoCreateInstance(CLSID_WICPngDecoder, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&decoder)),
          "creating the PNG decoder");
    Check(decoder->Initialize(stream.Get(), WICDecodeMetadataCacheOnLoad), "reading the PNG header");
    ComPtr<IWICBitmapFrameDecode> frame;
    Check(decoder->GetFrame(0, &frame), "reading the image frame");
    UINT frameWidth = 0;
    UINT frameHeight = 0;
    Check(frame->GetSize(&frameWidth, &frameHeight), "reading the image size");
    const bool keepSize = width == 0 || height == 0 || (width == frameWidth && height == frameHeight);
    // The common case, 8-bit RGBA at its own size, needs no converter; making
    // one costs more than the multiplication done here.
    WICPixelFormatGUID format{};
    if (keepSize && SUCCEEDED(frame->GetPixelFormat(&format)) && format == GUID_WICPixelFormat32bppBGRA) {
        ComPtr<IWICBitmapSource> source;
        Check(frame.As(&source), "reading the image frame");
        return {source, true};
    }
    ComPtr<IWICFormatConverter> converter;
    Check(factory->CreateFormatConverter(&converter), "creating the pixel converter");
    Check(converter->Initialize(frame.Get(), GUID_WICPixelFormat32bppPBGRA, WICBitmapDitherTypeNone, nullptr, 0.0,
                                WICBitmapPaletteTypeCustom),
          "converting the pixels");
    ComPtr<IWICBitmapSource> source;
    Check(converter.As(&source), "converting the pixels");
    if (keepSize) return {source, false};
    // Premultiplied pixels scale without dark fringes at the transparent edges.
    ComPtr<IWICBitmapScaler> scaler;
    Check(factory->CreateBitmapScaler(&scaler), "creating the scaler");
    Check(scaler->Initialize(source.Get(), width, height, WICBitmapInterpolationModeFant), "scaling the image");
    ComPtr<IWICBitmapSource> scaled;
    Check(scaler.As(&scaled), "scaling the image");
    return {scaled, false};
}

// Each colour component times alpha / 255, rounded to the nearest.
void PremultiplyAlpha(BYTE* pixels, size_t count) {
    for (BYTE* pixel = pixels; pixel != pixels + count * 4; pixel += 4) {
        const unsigned alpha = pixel[3];
        if (alpha == 255) continue;
        for (int i = 0; i < 3; ++i) {
            const unsigned product = pixel[i] * alpha + 128;
            pixel[i] = static_cast<BYTE>((product + (product >> 8)) >> 8);
        }
    }
}

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

ComPtr<IWICImagingFactory> ImagingFactory() {
    if (t_shared.factory) return t_shared.factory;
    ComPtr<IWICImagingFactory> factory;
    HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory));
    if (FAILED(hr)) {
        char code[16];
        wsprintfA(code, "0x%08lX", static_cast<unsigned long>(hr));
        throw engine::Exception(std::string("The Windows Imaging Component is not available (") + code + ")");
    }
    if (t_shared.active) t_shared.factory = factory;
    return factory;
}

std::string ResourceLabel(const wchar_t* resourceName) {
    if (IS_INTRESOURCE(resourceName))
        return "#" + std::to_string(reinterpret_cast<ULONG_PTR>(resourceName));
    return os::ToUtf8(resourceName);
}

}  // namespace

ImagingScope::ImagingScope() : outermost_(!t_shared.active) { t_shared.active = true; }

ImagingScope::~ImagingScope() {
    if (!outermost_) return;
    t_shared.factory.Reset();
    t_shared.active = false;
}

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
    if (requestedWidth < 0 || requestedHeight < 0 || requestedWidth > static_cast<int>(kMaxSide) ||
        requestedHeight > static_cast<int>(kMaxSide))
        throw engine::Exception("Invalid picture size requested");
    if (data == nullptr || size == 0) throw engine::Exception("Invalid PNG image data (no data)");
    if (size > std::numeric_limits<DWORD>::max()) throw engine::Exception("Invalid PNG image data (too large)");

    const ComPtr<IWICImagingFactory> factory = ImagingFactory();
    const DecodedFrame decoded = DecodePngFrame(factory.Get(), data, size, static_cast<UINT>(requestedWidth),
                                                static_cast<UINT>(requestedHeight));
    IWICBitmapSource* source = decoded.source.Get();

    UINT width = 0;
    UINT height = 0;
    Check(source->GetSize(&width, &height), "reading the image size");
    if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide)
        throw engine::Exception("Invalid PNG image data (unsupported size)");

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = static_cast<LONG>(width);
    info.bmiHeader.biHeight = -static_cast<LONG>(height);  // top-down, like WIC's rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    BitmapGuard bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (bits == nullptr) throw engine::Exception("Out of GDI resources while creating a picture");

    const UINT stride = width * 4;
    Check(source->CopyPixels(nullptr, stride, stride * height, static_cast<BYTE*>(bits)), "decoding the pixels");
    if (decoded.premultiply) PremultiplyAlpha(static_cast<BYTE*>(bits), static_cast<size_t>(width) * height);
    GdiFlush();
    return Picture(bitmap.Release(), static_cast<int>(width), static_cast<int>(height));
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
