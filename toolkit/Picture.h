#pragma once
// A decoded PNG image: an owned 32-bit top-down DIB section holding
// premultiplied BGRA pixels, drawn with per-pixel alpha.
//
// Decoding is the program's own (toolkit/PngImage.h) and needs no COM. A
// missing resource, undecodable data or a PNG of a kind that the decoder does
// not read raises engine::Exception whose message names the resource (or
// says what is wrong with the data).

#include <windows.h>

#include <cstddef>
#include <string_view>

namespace toolkit {

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
    // by averaging the area under each pixel (toolkit::ScalePixels).
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
