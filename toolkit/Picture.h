#pragma once
// A decoded PNG image: an owned 32-bit top-down DIB section holding
// premultiplied BGRA pixels, drawn with per-pixel alpha.
//
// Decoding uses the Windows Imaging Component. COM must already be initialised
// on the calling thread (CoInitializeEx); Picture never initialises it itself.
// A missing resource or undecodable data raises engine::Exception whose
// message names the resource (or says that the data is not a PNG image).

#include <windows.h>

#include <cstddef>
#include <string_view>

namespace toolkit {

// While one is alive, the pictures that its thread decodes share one imaging
// factory, made at the first decode and released with the scope, which must
// end before COM is uninitialised on the thread. Without a scope each decode
// makes its own factory.
class ImagingScope {
public:
    ImagingScope();
    ~ImagingScope();
    ImagingScope(const ImagingScope&) = delete;
    ImagingScope& operator=(const ImagingScope&) = delete;

private:
    bool outermost_;
};

// The bytes of the raw-data (RT_RCDATA) resource resourceName of module; empty
// when there is none.
std::string_view RawResource(HMODULE module, const wchar_t* resourceName);

class Picture {
public:
    Picture() = default;
    ~Picture();
    Picture(Picture&& other) noexcept;
    Picture& operator=(Picture&& other) noexcept;
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;

    static Picture FromPngBytes(const void* data, size_t size);
    // Decoded and, when the image has another size, scaled to width × height
    // with a smoothing filter (WIC's Fant scaler).
    static Picture FromPngBytes(const void* data, size_t size, int width, int height);
    // The raw-data (RT_RCDATA) resource resourceName of module, at its own size
    // or, when width and height are given, scaled to them.
    static Picture FromResource(HMODULE module, const wchar_t* resourceName, int width = 0, int height = 0);

    int Width() const { return width_; }
    int Height() const { return height_; }
    // Still owned by the picture; null when Empty().
    HBITMAP Bitmap() const { return bitmap_; }
    bool Empty() const { return bitmap_ == nullptr; }

    // Blends the picture at its own size onto dc; nothing when Empty().
    void Draw(HDC dc, int x, int y) const;
    // Blends the picture scaled to width × height; nothing when Empty().
    void Draw(HDC dc, int x, int y, int width, int height) const;

private:
    Picture(HBITMAP bitmap, int width, int height) : bitmap_(bitmap), width_(width), height_(height) {}
    void Release();

    HBITMAP bitmap_ = nullptr;
    int width_ = 0;
    int height_ = 0;
};

}  // namespace toolkit
