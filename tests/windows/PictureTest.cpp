#include "toolkit/Picture.h"

#include "engine/Exception.h"

#include "ErrorMessage.h"

#include <gtest/gtest.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

// Pictures need no COM: only the system codec that serves as the reference
// starts it.
class PictureTest : public ::testing::Test {};

struct Pixels {
    const uint32_t* bits;
    int width;
    int height;
    uint32_t At(int x, int y) const { return bits[y * width + x]; }
};

Pixels PixelsOf(HBITMAP bitmap) {
    DIBSECTION section{};
    EXPECT_EQ(static_cast<int>(sizeof(section)), GetObjectW(bitmap, sizeof(section), &section));
    EXPECT_EQ(32, section.dsBm.bmBitsPixel);
    return {static_cast<const uint32_t*>(section.dsBm.bmBits), section.dsBm.bmWidth, section.dsBm.bmHeight};
}

std::vector<unsigned char> ResourceBytes(const wchar_t* name) {
    HRSRC info = FindResourceW(nullptr, name, RT_RCDATA);
    EXPECT_NE(nullptr, info);
    if (!info) return {};
    auto data = static_cast<const unsigned char*>(LockResource(LoadResource(nullptr, info)));
    return std::vector<unsigned char>(data, data + SizeofResource(nullptr, info));
}

TEST_F(PictureTest, EveryImageResourceDecodesToItsSizeWithAlpha) {
    struct Expected {
        const wchar_t* name;
        int width;
        int height;
    };
    const Expected images[] = {
        {L"PNG_CLOSE", 58, 53},       {L"PNG_CLOSE_HOT", 58, 53}, {L"PNG_OPEN", 58, 53},
        {L"PNG_OPEN_HOT", 58, 53},    {L"PNG_LOGO_FG", 64, 64},   {L"PNG_LOGO_SL", 64, 64},
        {L"PNG_LOGO_LG", 64, 64},     {L"PNG_LOGO_WW", 64, 64},   {L"PNG_KXLOGO", 163, 48},
        {L"PNG_LOGO_LOCK", 158, 65},
    };
    for (const Expected& image : images) {
        SCOPED_TRACE(std::string(image.name, image.name + wcslen(image.name)));
        toolkit::Picture picture = toolkit::Picture::FromResource(GetModuleHandleW(nullptr), image.name);
        ASSERT_FALSE(picture.Empty());
        EXPECT_EQ(image.width, picture.Width());
        EXPECT_EQ(image.height, picture.Height());

        Pixels pixels = PixelsOf(picture.Bitmap());
        ASSERT_EQ(image.width, pixels.width);
        ASSERT_EQ(image.height, pixels.height);
        int transparent = 0;
        int opaque = 0;
        bool premultiplied = true;
        for (int i = 0; i < image.width * image.height; ++i) {
            const uint32_t pixel = pixels.bits[i];
            const uint32_t alpha = pixel >> 24;
            transparent += alpha == 0;
            opaque += alpha == 255;
            for (int shift : {0, 8, 16}) premultiplied = premultiplied && ((pixel >> shift) & 0xFF) <= alpha;
        }
        EXPECT_GT(transparent, 0) << "no transparent pixel";
        EXPECT_GT(opaque, 0) << "no opaque pixel";
        EXPECT_TRUE(premultiplied) << "a colour component exceeds its alpha";
        EXPECT_EQ(0u, pixels.At(0, 0) >> 24) << "the top-left corner is not transparent";
    }
}

// The pixels of PNG data as the system's codec (WIC; libpng under Wine)
// decodes them, premultiplied here: the reference for the program's decoder.
std::vector<uint32_t> SystemDecoded(const std::vector<unsigned char>& png) {
    using Microsoft::WRL::ComPtr;
    ComPtr<IWICImagingFactory> factory;
    ComPtr<IWICStream> stream;
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICBitmapFrameDecode> frame;
    ComPtr<IWICFormatConverter> converter;
    UINT width = 0, height = 0;
    const bool decoded =
        SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory))) &&
        SUCCEEDED(factory->CreateStream(&stream)) &&
        SUCCEEDED(stream->InitializeFromMemory(const_cast<BYTE*>(png.data()), static_cast<DWORD>(png.size()))) &&
        SUCCEEDED(factory->CreateDecoderFromStream(stream.Get(), nullptr, WICDecodeMetadataCacheOnDemand, &decoder)) &&
        SUCCEEDED(decoder->GetFrame(0, &frame)) && SUCCEEDED(factory->CreateFormatConverter(&converter)) &&
        SUCCEEDED(converter->Initialize(frame.Get(), GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone, nullptr,
                                        0.0, WICBitmapPaletteTypeCustom)) &&
        SUCCEEDED(converter->GetSize(&width, &height));
    EXPECT_TRUE(decoded);
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
    EXPECT_TRUE(SUCCEEDED(converter->CopyPixels(nullptr, width * 4, width * height * 4,
                                                reinterpret_cast<BYTE*>(pixels.data()))));
    for (uint32_t& pixel : pixels) {
        const uint32_t alpha = pixel >> 24;
        uint32_t premultiplied = alpha << 24;
        for (int shift : {0, 8, 16}) premultiplied |= (((pixel >> shift) & 0xFF) * alpha * 2 + 255) / 510 << shift;
        pixel = premultiplied;
    }
    return pixels;
}

BOOL CALLBACK AddImageName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR names) {
    if (!IS_INTRESOURCE(name) && std::wstring(name).starts_with(L"PNG_") && std::wstring(name) != L"PNG_DAMAGED")
        reinterpret_cast<std::vector<std::wstring>*>(names)->push_back(name);
    return TRUE;
}

TEST_F(PictureTest, EveryImageResourceHasThePixelsThatTheSystemCodecDecodes) {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    std::vector<std::wstring> names;
    EnumResourceNamesW(nullptr, RT_RCDATA, AddImageName, reinterpret_cast<LONG_PTR>(&names));
    EXPECT_EQ(50u, names.size());
    for (const std::wstring& name : names) {
        SCOPED_TRACE(std::string(name.begin(), name.end()));
        const std::vector<uint32_t> expected = SystemDecoded(ResourceBytes(name.c_str()));
        const toolkit::Picture picture = toolkit::Picture::FromResource(nullptr, name.c_str());
        const Pixels pixels = PixelsOf(picture.Bitmap());
        ASSERT_EQ(expected.size(), static_cast<size_t>(pixels.width) * pixels.height);
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), pixels.bits));
    }
    CoUninitialize();
}

TEST_F(PictureTest, ColoursAreMultipliedByTheirAlpha) {
    // 3 × 1 RGBA: (200, 100, 50) opaque, at alpha 128, and (90, 80, 70) at alpha 0.
    const unsigned char png[] = {
        0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48, 0x44, 0x52, 0x00, 0x00,
        0x00, 0x03, 0x00, 0x00, 0x00, 0x01, 0x08, 0x06, 0x00, 0x00, 0x00, 0x1B, 0xE0, 0x14, 0xB4, 0x00, 0x00, 0x00,
        0x13, 0x49, 0x44, 0x41, 0x54, 0x78, 0xDA, 0x63, 0x38, 0x91, 0x62, 0xF4, 0x1F, 0x88, 0x1B, 0xA2, 0x02, 0xDC,
        0x18, 0x00, 0x28, 0x30, 0x05, 0x2C, 0x1C, 0xC5, 0xC1, 0x45, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44,
        0xAE, 0x42, 0x60, 0x82};
    toolkit::Picture picture = toolkit::Picture::FromPngBytes(png, sizeof(png));
    const Pixels pixels = PixelsOf(picture.Bitmap());
    EXPECT_EQ(0xFFC86432u, pixels.At(0, 0));
    const uint32_t half = pixels.At(1, 0);
    EXPECT_EQ(128u, half >> 24);
    EXPECT_NEAR(100, static_cast<int>((half >> 16) & 0xFF), 1);
    EXPECT_NEAR(50, static_cast<int>((half >> 8) & 0xFF), 1);
    EXPECT_NEAR(25, static_cast<int>(half & 0xFF), 1);
    EXPECT_EQ(0u, pixels.At(2, 0));
}

TEST_F(PictureTest, MissingResourceRaisesWithItsName) {
    const std::string message = MessageOf([] { toolkit::Picture::FromResource(GetModuleHandleW(nullptr), L"PNG_NOSUCH"); });
    EXPECT_NE(std::string::npos, message.find("PNG_NOSUCH")) << message;
}

TEST_F(PictureTest, DamagedDataRaises) {
    const std::vector<unsigned char> png = ResourceBytes(L"PNG_CLOSE");
    ASSERT_GT(png.size(), 100u);

    const unsigned char garbage[] = "this is not a picture at all, only some text";
    EXPECT_NE("(no exception)", MessageOf([&] { toolkit::Picture::FromPngBytes(garbage, sizeof(garbage)); }));
    EXPECT_NE("(no exception)", MessageOf([&] { toolkit::Picture::FromPngBytes(png.data(), 0); }));
    EXPECT_NE("(no exception)", MessageOf([&] { toolkit::Picture::FromPngBytes(nullptr, 10); }));
    // The header survives, the compressed pixel data is cut short.
    EXPECT_NE("(no exception)", MessageOf([&] { toolkit::Picture::FromPngBytes(png.data(), png.size() / 3); }));
    // A header that promises no pixels at all.
    EXPECT_NE("(no exception)", MessageOf([&] { toolkit::Picture::FromPngBytes(png.data(), 40); }));
    // A JPEG or BMP would be decodable, but the resources are PNG only.
    const std::vector<unsigned char> bmpHeader = {'B', 'M', 0x3A, 0, 0, 0, 0, 0, 0, 0, 0x36, 0, 0, 0};
    EXPECT_NE("(no exception)", MessageOf([&] { toolkit::Picture::FromPngBytes(bmpHeader.data(), bmpHeader.size()); }));
}

TEST_F(PictureTest, DamagedResourceNamesTheResource) {
    // PNG_DAMAGED (tests/windows/TestImages.rc): a PNG signature followed by junk.
    const std::string message =
        MessageOf([] { toolkit::Picture::FromResource(GetModuleHandleW(nullptr), L"PNG_DAMAGED"); });
    EXPECT_NE(std::string::npos, message.find("PNG_DAMAGED")) << message;
    EXPECT_NE(std::string::npos, message.find("Invalid PNG image data")) << message;
}

TEST_F(PictureTest, MovingTransfersTheBitmap) {
    toolkit::Picture first = toolkit::Picture::FromResource(GetModuleHandleW(nullptr), L"PNG_LOGO_FG");
    const HBITMAP bitmap = first.Bitmap();
    toolkit::Picture second(std::move(first));
    EXPECT_TRUE(first.Empty());
    EXPECT_EQ(0, first.Width());
    EXPECT_EQ(bitmap, second.Bitmap());
    EXPECT_EQ(64, second.Width());

    toolkit::Picture third = toolkit::Picture::FromResource(GetModuleHandleW(nullptr), L"PNG_CLOSE");
    third = std::move(second);
    EXPECT_EQ(bitmap, third.Bitmap());
    EXPECT_EQ(64, third.Height());
    BITMAP stillThere{};
    EXPECT_EQ(static_cast<int>(sizeof(stillThere)), GetObjectW(third.Bitmap(), sizeof(stillThere), &stillThere));
}

TEST_F(PictureTest, DrawBlendsOverTheBackground) {
    toolkit::Picture picture = toolkit::Picture::FromResource(GetModuleHandleW(nullptr), L"PNG_CLOSE");
    const Pixels source = PixelsOf(picture.Bitmap());

    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), 100, -100, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP target = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(nullptr, target);
    auto* pixels = static_cast<uint32_t*>(bits);
    for (int i = 0; i < 100 * 100; ++i) pixels[i] = 0x00336699;
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ previous = SelectObject(dc, target);

    picture.Draw(dc, 10, 20);
    GdiFlush();

    // A transparent corner keeps the background; an opaque pixel shows the picture.
    EXPECT_EQ(0x336699u, pixels[20 * 100 + 10] & 0xFFFFFF);
    int checked = 0;
    for (int y = 0; y < source.height && checked == 0; ++y)
        for (int x = 0; x < source.width && checked == 0; ++x)
            if (source.At(x, y) >> 24 == 255) {
                EXPECT_EQ(source.At(x, y) & 0xFFFFFF, pixels[(20 + y) * 100 + 10 + x] & 0xFFFFFF);
                ++checked;
            }
    EXPECT_EQ(1, checked);
    // Outside the picture nothing changed.
    EXPECT_EQ(0x336699u, pixels[99 * 100 + 99] & 0xFFFFFF);

    SelectObject(dc, previous);
    DeleteDC(dc);
    DeleteObject(target);
}

}  // namespace
