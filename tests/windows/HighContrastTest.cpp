// High contrast on a simulated machine whose system colours are Windows'
// "High Contrast Black" scheme: the windows are painted with real GDI into a
// bitmap whose pixels the tests read (Wine itself never reports high contrast).
#include "MainWindowFixture.h"
#include "shell/Substitution.h"
#include "toolkit/Colors.h"
#include "ui/AboutDlg.h"
#include "widgets/BalloonHelp.h"

#include <vector>

namespace {

using namespace toolkit;
using ui::TdlgGatewiseMain;

constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kYellow = RGB(255, 255, 0);
constexpr COLORREF kPaleYellow = RGB(255, 255, 221);

// What a window paints into its client area (WM_PRINTCLIENT).
class Painted {
public:
    explicit Painted(HWND window) {
        RECT client{};
        GetClientRect(window, &client);
        width_ = client.right;
        height_ = client.bottom;
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), width_, -height_, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        HDC screen = GetDC(nullptr);
        HDC dc = CreateCompatibleDC(screen);
        HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        HGDIOBJ previous = SelectObject(dc, bitmap);
        SendMessageW(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
        GdiFlush();
        const auto* pixels = static_cast<const RGBQUAD*>(bits);
        for (int i = 0; i < width_ * height_; ++i)
            pixels_.push_back(RGB(pixels[i].rgbRed, pixels[i].rgbGreen, pixels[i].rgbBlue));
        SelectObject(dc, previous);
        DeleteObject(bitmap);
        DeleteDC(dc);
        ReleaseDC(nullptr, screen);
    }
    COLORREF At(int x, int y) const { return pixels_[static_cast<std::size_t>(y * width_ + x)]; }
    // Pixels of that colour within the control's bounds, or anywhere.
    int Count(COLORREF color, const TControl* within = nullptr) const {
        const RECT area = within ? within->BoundsRect() : RECT{0, 0, width_, height_};
        int count = 0;
        for (int y = area.top; y < area.bottom; ++y)
            for (int x = area.left; x < area.right; ++x) count += At(x, y) == color;
        return count;
    }

private:
    int width_ = 0;
    int height_ = 0;
    std::vector<COLORREF> pixels_;
};

class HighContrast : public MainWindowFixture<TdlgGatewiseMain> {
protected:
    void SetUp() override {
        MainWindowFixture::SetUp();
        machine.simulatedColors = true;
        machine.gdi.sysColors = {{COLOR_WINDOW, kBlack},      {COLOR_WINDOWTEXT, kWhite},
                                 {COLOR_BTNFACE, kBlack},     {COLOR_BTNTEXT, kWhite},
                                 {COLOR_HOTLIGHT, kYellow},   {COLOR_GRAYTEXT, RGB(63, 242, 63)},
                                 {COLOR_INFOBK, kBlack},      {COLOR_INFOTEXT, RGB(255, 255, 254)},
                                 {COLOR_BTNSHADOW, kWhite},   {COLOR_BTNHIGHLIGHT, kWhite}};
        machine.highContrast = TRUE;
        machine.screenSaverSecure = FALSE;  // custom mode: its line shows too
    }
    void ShowWindow() {
        Create();
        window->Show();
        Pump();
    }
    TControl& Control(const wchar_t* name) { return window->Get<TControl>(name); }
    HWND Console() { return window->Get<TPanel>(L"pnlConsole").Handle(); }
};

TEST_F(HighContrast, MainWindowTakesTheSchemesColoursForEveryFixedOne) {
    ShowWindow();
    const Painted console(Console());
    EXPECT_EQ(console.At(Control(L"pnlConsole").Width() - 4, 100), kBlack) << "the white panel is the window colour";
    EXPECT_EQ(console.Count(kPaleYellow), 0) << "nor is the advertisement's box pale yellow";
    EXPECT_EQ(console.Count(RGB(153, 0, 0)) + console.Count(RGB(0, 102, 0)), 0) << "no maroon or green text";
    for (const wchar_t* text : {L"lblTitle", L"lblModeLine", L"lblSecureTitle", L"lblSecure", L"lblAdvertisement"}) {
        SCOPED_TRACE(text);
        EXPECT_GT(console.Count(kWhite, &Control(text)), 20) << "drawn in the window text colour";
    }
    EXPECT_GT(console.Count(kYellow, &Control(L"lblSecure")), 20) << "its link in the hot-track colour";
    EXPECT_GT(console.Count(kWhite, &Control(L"shpTitle")), Control(L"shpTitle").Width()) << "the rule is a white line";
    EXPECT_GT(console.Count(kWhite, &Control(L"Shape1")), 2 * Control(L"Shape1").Width()) << "the box keeps its outline";
    EXPECT_TRUE(errors.empty());
}

TEST_F(HighContrast, OutsideHighContrastFixedColoursStay) {
    machine.highContrast = FALSE;
    ShowWindow();
    const Painted console(Console());
    EXPECT_EQ(console.At(Control(L"pnlConsole").Width() - 4, 100), kWhite);
    EXPECT_GT(console.Count(kPaleYellow), 1000);
    EXPECT_GT(console.Count(RGB(153, 0, 0), &Control(L"lblSecureTitle")), 0);
}

TEST_F(HighContrast, WindowsRepaintWhenTheSchemeOrTheColoursChange) {
    machine.highContrast = FALSE;
    ShowWindow();
    auto invalidated = [&] {
        RECT update{};
        return GetUpdateRect(Console(), &update, FALSE) != FALSE;
    };

    machine.highContrast = TRUE;
    ValidateRect(Console(), nullptr);
    EXPECT_EQ(Painted(Console()).At(4, 100), kWhite) << "the setting is read again only when Windows says it changed";
    SendMessageW(window->Handle(), WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST, 0);
    EXPECT_TRUE(invalidated());
    EXPECT_EQ(Painted(Console()).At(4, 100), kBlack);

    machine.highContrast = FALSE;
    Pump();
    ValidateRect(Console(), nullptr);
    SendMessageW(window->Handle(), WM_SETTINGCHANGE, SPI_SETSCREENSAVESECURE, 0);
    EXPECT_FALSE(invalidated()) << "other settings change nothing";
    SendMessageW(window->Handle(), WM_SYSCOLORCHANGE, 0, 0);
    EXPECT_TRUE(invalidated());
    EXPECT_EQ(Painted(Console()).At(4, 100), kWhite);
}

TEST_F(HighContrast, LogosSitOnALightPlateAndBalloonsTakeTheTooltipColours) {
    shell::CreateSubstitutionList();
    std::unique_ptr<ui::TdlgAbout> about(CreateForm<ui::TdlgAbout>(nullptr));
    about->Show();
    const Painted dialog(about->Handle());
    const TControl& maker = about->Get<TControl>(L"imgVantrelLogo");
    EXPECT_EQ(dialog.At(maker.Left() + 1, maker.Top() + 1), kWhite) << "the logo's clear corner shows the plate";
    EXPECT_EQ(dialog.At(maker.Left() - 2, maker.Top() + 1), kBlack) << "beside it, the dialog's own colour";
    EXPECT_GT(dialog.Count(kWhite, &about->Get<TControl>(L"imgLogo")), 100);
    EXPECT_EQ(about->Get<TControl>(L"lblLink").TextColor(), kYellow);
    about.reset();
    shell::FreeSubstitutionList();

    widgets::TBalloonHelp balloon(nullptr);
    balloon.BackGroundColor = RGBColor(255, 204, 255);
    balloon.ShowAt(300, 200);
    EXPECT_EQ(static_cast<COLORREF>(SendMessageW(balloon.Handle(), TTM_GETTIPBKCOLOR, 0, 0)), kBlack);
    EXPECT_EQ(static_cast<COLORREF>(SendMessageW(balloon.Handle(), TTM_GETTIPTEXTCOLOR, 0, 0)), RGB(255, 255, 254));
    balloon.Hide();
}

}  // namespace
