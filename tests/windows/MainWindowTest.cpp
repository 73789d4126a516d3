#include "MainWindowFixture.h"
#include "shell/Gatewise_IDH.h"
#include "shell/Substitution.h"
#include "toolkit/DpiScale.h"

namespace {

using namespace toolkit;
using ui::TdlgGatewiseMain;

class MainWindow : public MainWindowFixture<TdlgGatewiseMain> {
protected:
    void SetUp() override {
        MainWindowFixture::SetUp();
        machine.SetString(HKEY_LOCAL_MACHINE, kWinlogon, L"DefaultUserName", L"alice");
    }
    std::wstring MenuText(HMENU menu, int position) {
        wchar_t text[128] = {};
        GetMenuStringW(menu, static_cast<UINT>(position), text, 128, MF_BYPOSITION);
        return text;
    }
    std::vector<std::wstring> MenuTexts(HMENU menu) {
        std::vector<std::wstring> texts;
        for (int i = 0; i < GetMenuItemCount(menu); ++i) {
            std::wstring text = MenuText(menu, i);
            texts.push_back(text.empty() ? L"-" : text);
        }
        return texts;
    }
};

TEST_F(MainWindow, CaptionLayoutAndMenuAsStored) {
    Create();
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(window->Caption(), L"Gatewise");
    EXPECT_EQ(window->Get<TLabel>(L"lblTitle").Caption(), L"Gatewise");
    EXPECT_EQ(window->HelpContext, shell::IDH_MainWindow);
    EXPECT_EQ(window->ClientWidth(), 540);
    EXPECT_EQ(window->ClientHeight(), 416);  // the gap below the buttons equals the one above them

    auto bounds = [&](const wchar_t* name) {
        const TControl& control = window->Get<TControl>(name);
        return std::vector<int>{control.Left(), control.Top(), control.Width(), control.Height()};
    };
    if (window->PixelsPerInch() == 96) {
        EXPECT_EQ(bounds(L"pnlConsole"), (std::vector<int>{0, 0, 540, 361}));
        EXPECT_EQ(bounds(L"lblTitle"), (std::vector<int>{8, 1, 520, 20}));
        EXPECT_EQ(bounds(L"shpTitle"), (std::vector<int>{8, 21, 520, 2}));
        EXPECT_EQ(bounds(L"imgSecure"), (std::vector<int>{16, 40, 58, 53}));
        EXPECT_EQ(bounds(L"lblRelaxed"), (std::vector<int>{96, 160, 433, 73}));
        EXPECT_EQ(bounds(L"Shape1"), (std::vector<int>{8, 232, 521, 113}));
        EXPECT_EQ(bounds(L"btnOptions"), (std::vector<int>{208, 376, 99, 25}));
        EXPECT_EQ(bounds(L"btnExit"), (std::vector<int>{432, 376, 99, 25}));
    }
    EXPECT_EQ(window->Get<TLabel>(L"lblSecureTitle").Left(), window->Get<TControl>(L"lblSecure").Left());
    EXPECT_EQ(window->Get<TLabel>(L"lblTitle").Font().Color(), RGBColor(0, 102, 0));
    EXPECT_EQ(window->Get<TLabel>(L"lblSecureTitle").Font().Color(), RGBColor(153, 0, 0));
    EXPECT_TRUE(window->Get<TLabel>(L"lblSecureTitle").Font().Style() & fsBold);
    EXPECT_EQ(window->Get<TPanel>(L"pnlConsole").EffectiveColor(), RGB(255, 255, 255));
    EXPECT_EQ(window->Get<TImage>(L"imgSecure").Cursor, crHandPoint);

    HMENU bar = GetMenu(window->Handle());
    EXPECT_EQ(MenuTexts(bar), (std::vector<std::wstring>{L"&Commands", L"Additional &products", L"&Help"}));
    EXPECT_EQ(MenuTexts(GetSubMenu(bar, 0)),
              (std::vector<std::wstring>{L"Activate &Secure mode\tF2", L"Activate &Relaxed mode\tF3",
                                         L"Relaxed Mode for the next start on&ly", L"U&ndo last switch\tCtrl+Z", L"-",
                                         L"&Options...", L"&Autologon account...", L"Re&move auto-logon account...",
                                         L"&Users management...",
                                         L"&Check settings...", L"-", L"E&xit\tAlt+X"}));
    EXPECT_EQ(MenuTexts(GetSubMenu(bar, 1)),
              (std::vector<std::wstring>{L"&Flowgauge", L"&Speedloom", L"&Ledgerly", L"&Wipewell"}));
    EXPECT_EQ(MenuTexts(GetSubMenu(bar, 2)),
              (std::vector<std::wstring>{L"&Help topics\tF1", L"-", L"&Web site", L"&Technical support", L"-",
                                         L"&About Gatewise"}));
    EXPECT_FALSE(GetMenuState(GetSubMenu(bar, 0), 2, MF_BYPOSITION) & MF_GRAYED);
    EXPECT_FALSE(GetMenuState(GetSubMenu(bar, 0), 5, MF_BYPOSITION) & MF_GRAYED);
}

TEST_F(MainWindow, ActiveModeIsMarkedInItsTitle) {
    Create();
    EXPECT_EQ(window->Get<TLabel>(L"lblSecureTitle").Caption(), L"Secure Mode (currently active)");
    EXPECT_EQ(window->Get<TLabel>(L"lblRelaxedTitle").Caption(), L"Relaxed Mode");

    const TLabel& line = window->Get<TLabel>(L"lblModeLine");
    EXPECT_FALSE(line.Visible());
    const auto secure = ControlBounds(*window);
    const int height = window->ClientHeight();

    machine.screenSaverSecure = FALSE;  // the settings disagree: custom mode
    window->RefreshModeDisplay();
    EXPECT_EQ(window->Get<TLabel>(L"lblSecureTitle").Caption(), L"Secure Mode");
    EXPECT_EQ(window->Get<TLabel>(L"lblRelaxedTitle").Caption(), L"Relaxed Mode");
    // The line under the header says so, and what differs from Secure Mode;
    // the rows below it make room, and the window grows as much.
    EXPECT_TRUE(line.Visible());
    EXPECT_EQ(line.Caption(), L"Custom Mode: the password is asked at start-up and on wake, not after the screen saver.");
    const int room = window->Get<TControl>(L"imgSecure").Top() - secure.at(L"imgSecure")[1];
    EXPECT_GE(room, line.Height());
    EXPECT_EQ(window->Get<TControl>(L"lblSecureTitle").Top(), line.Top() + room);
    EXPECT_GE(window->Get<TControl>(L"lblRelaxed").Top(), line.Top() + line.Height());
    EXPECT_EQ(window->Get<TControl>(L"btnExit").Top(), secure.at(L"btnExit")[1] + room);
    EXPECT_EQ(window->ClientHeight(), height + room);
    window->RefreshModeDisplay();
    EXPECT_EQ(window->ClientHeight(), height + room) << "a second refresh moves nothing";

    machine.screenSaverSecure = TRUE;
    window->RefreshModeDisplay();
    EXPECT_FALSE(line.Visible());
    EXPECT_EQ(ControlBounds(*window), secure);
    EXPECT_EQ(window->ClientHeight(), height);
}

// A setting that cannot be read is no program fault: the mode shows as
// unknown with the reason, and the next refresh shows it again once it reads.
TEST_F(MainWindow, FailingModeReadShowsTheModeAsUnknownAndTheNextRefreshRecovers) {
    machine.Fail("SystemParametersInfoW", ERROR_INVALID_PARAMETER);
    Create();
    EXPECT_TRUE(errors.empty());
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(IsWindow(window->Handle()));
    EXPECT_EQ(window->Get<TLabel>(L"lblSecureTitle").Caption(), L"Secure Mode");
    EXPECT_EQ(window->Get<TLabel>(L"lblRelaxedTitle").Caption(), L"Relaxed Mode");
    const TLabel& line = window->Get<TLabel>(L"lblModeLine");
    EXPECT_TRUE(line.Visible());
    EXPECT_EQ(line.Caption().rfind(L"The mode is unknown: System Error.  Code: 87.", 0), 0u) << line.Caption();
    EXPECT_EQ(line.Caption().find(L'\n'), std::wstring::npos);
    machine.Fail("SystemParametersInfoW", 0, 0, 0);
    window->RefreshModeDisplay();
    EXPECT_EQ(window->Get<TLabel>(L"lblSecureTitle").Caption(), L"Secure Mode (currently active)");
    EXPECT_FALSE(line.Visible());
    EXPECT_EQ(window->ClientHeight(), 416);
}

TEST_F(MainWindow, PointingAtAnImageOrItsTitleHighlightsBoth) {
    Create();
    TPanel& console = window->Get<TPanel>(L"pnlConsole");
    TLabel& title = window->Get<TLabel>(L"lblRelaxedTitle");
    TImage& image = window->Get<TImage>(L"imgRelaxed");
    TImage& secure = window->Get<TImage>(L"imgSecure");
    const Picture* normal = image.CurrentPicture();
    ASSERT_NE(normal, nullptr);
    EXPECT_EQ(normal->Width(), 58);
    EXPECT_EQ(image.Width(), 58);  // auto-sized to its picture
    EXPECT_EQ(image.Height(), 53);
    EXPECT_NE(normal, secure.CurrentPicture());

    SendMessageW(console.Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(title.Left() + 2, title.Top() + 2));
    EXPECT_TRUE(title.Font().Style() & fsUnderline);
    EXPECT_NE(image.CurrentPicture(), normal);
    SendMessageW(console.Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    EXPECT_FALSE(title.Font().Style() & fsUnderline);
    EXPECT_EQ(image.CurrentPicture(), normal);

    SendMessageW(console.Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(image.Left() + 5, image.Top() + 5));
    EXPECT_TRUE(title.Font().Style() & fsUnderline);
    EXPECT_NE(image.CurrentPicture(), normal);
    SendMessageW(console.Handle(), WM_MOUSELEAVE, 0, 0);
    EXPECT_EQ(image.CurrentPicture(), normal);
    EXPECT_FALSE(window->Get<TLabel>(L"lblSecureTitle").Font().Style() & fsUnderline);
}

TEST_F(MainWindow, AdvertisementShowsOneOfTheFourProducts) {
    Create();
    ASSERT_LT(window->AdvertIndex(), 4);
    const ui::TAdvertisement& shown = ui::Advertisements()[window->AdvertIndex()];
    EXPECT_EQ(window->Get<TLabel>(L"lblAdvertisementTitle").Caption(), shown.tagline);
    EXPECT_EQ(window->Get<TControl>(L"lblAdvertisement").Caption(), shown.description);
    EXPECT_NE(window->Get<TImage>(L"imgAdvertisement").CurrentPicture(), nullptr);
    for (const ui::TAdvertisement& advertisement : ui::Advertisements()) {
        EXPECT_GE(advertisement.tagline.size(), 30u);
        EXPECT_LE(advertisement.tagline.size(), 41u);
        EXPECT_NE(advertisement.description.find(L"<a href=\"advertisement\">"), std::wstring::npos);
    }
    const std::wstring campaign = L"?utm_source=vantreltech&utm_medium=software&utm_campaign=gatewise";
    for (int index : {-1, 0, 3, 4}) {
        std::wstring address = ui::AdvertisementAddress(index);
        EXPECT_EQ(address.substr(address.size() - campaign.size()), campaign);
    }
    EXPECT_EQ(ui::AdvertisementAddress(2), ui::Advertisements()[2].page + campaign);
    EXPECT_EQ(ui::AdvertisementAddress(9), ui::AdvertisementAddress(-1));
}

// Windows sends WM_DPICHANGED when the window moves to a screen of another
// resolution; Wine never does.
TEST_F(MainWindow, MovingToAnotherResolutionScalesTheStoredLayoutWithoutDrift) {
    Create();
    ASSERT_EQ(window->PixelsPerInch(), 96);
    const auto created = ControlBounds(*window);
    const TImage& secure = window->Get<TImage>(L"imgSecure");
    const TLabel& title = window->Get<TLabel>(L"lblSecureTitle");
    auto scaled = [](Bounds design, int dpi) {
        for (int& length : design) length = ScaleToDpi(length, dpi);
        return design;
    };
    std::map<int, std::map<std::wstring, Bounds>> seen;
    for (int dpi : {144, 120, 192, 144}) {
        SCOPED_TRACE(dpi);
        MoveToDpi(*window, dpi);
        EXPECT_EQ(window->PixelsPerInch(), dpi);
        const Bounds exit = scaled({432, 376, 99, 25}, dpi);
        EXPECT_EQ(BoundsOf(window->Get<TControl>(L"btnExit")), exit);
        EXPECT_EQ(BoundsOf(window->Get<TControl>(L"lblRelaxed")), scaled({96, 160, 433, 73}, dpi));
        EXPECT_EQ(BoundsOf(window->Get<TControl>(L"shpTitle")), scaled({8, 21, 520, 2}, dpi));
        const Bounds panel = scaled({0, 0, 540, 361}, dpi);
        EXPECT_EQ(BoundsOf(window->Get<TControl>(L"pnlConsole")), panel);
        EXPECT_EQ(window->ClientWidth(), ScaleToDpi(540, dpi));
        EXPECT_EQ(window->ClientHeight(), exit[1] + exit[3] + exit[1] - panel[3]) << "as much room below the buttons as above";
        // The padlocks come drawn for the resolution and size their images.
        ASSERT_NE(secure.CurrentPicture(), nullptr);
        EXPECT_EQ(secure.Width(), ScaleToDpi(58, dpi));
        EXPECT_EQ(secure.Height(), ScaleToDpi(53, dpi));
        EXPECT_EQ(secure.CurrentPicture()->Width(), secure.Width());
        EXPECT_EQ(window->Get<TImage>(L"imgAdvertisement").Width(), ScaleToDpi(64, dpi));
        EXPECT_EQ(title.Font().PixelHeight(), ScaleToDpi(-13, dpi));
        EXPECT_EQ(title.Left(), ScaleToDpi(96, dpi));
        if (seen.count(dpi)) {
            EXPECT_EQ(ControlBounds(*window), seen[dpi]) << "the same whatever the way there";
        }
        seen[dpi] = ControlBounds(*window);
    }
    MoveToDpi(*window, 96);
    EXPECT_EQ(ControlBounds(*window), created);
    EXPECT_EQ(window->ClientHeight(), 416);
    EXPECT_TRUE(errors.empty());
}

TEST_F(MainWindow, AccountAndNextStartCommandsAreGreyedForOtherUsers) {
    machine.processGroups = {{os::sim::UsersSid(), SE_GROUP_ENABLED}};
    Create();
    HMENU commands = GetSubMenu(GetMenu(window->Handle()), 0);
    EXPECT_TRUE(GetMenuState(commands, 2, MF_BYPOSITION) & MF_GRAYED);
    EXPECT_TRUE(GetMenuState(commands, 6, MF_BYPOSITION) & MF_GRAYED);
}

}  // namespace

namespace {

// The administrator's policy: Relaxed Mode off and no other products. The
// Relaxed Mode commands are greyed, its link gives way to the policy's line,
// the box of other products and its menu are gone and the window is shorter
// by the box, also at another resolution.
TEST_F(MainWindow, PolicyTurnsRelaxedModeAndTheOtherProductsOff) {
    const wchar_t* policies = L"SOFTWARE\\Policies\\Vantrel\\Gatewise";
    machine.SetDword(HKEY_LOCAL_MACHINE, policies, L"AllowRelaxedMode", 0);
    machine.SetDword(HKEY_LOCAL_MACHINE, policies, L"ShowAdditionalProducts", 0);
    Create();
    HMENU commands = GetSubMenu(GetMenu(window->Handle()), 0);
    EXPECT_TRUE(GetMenuState(commands, 1, MF_BYPOSITION) & MF_GRAYED) << "Activate Relaxed mode, F3";
    EXPECT_TRUE(GetMenuState(commands, 2, MF_BYPOSITION) & MF_GRAYED) << "for the next start only";
    EXPECT_EQ(MenuTexts(GetMenu(window->Handle())), (std::vector<std::wstring>{L"&Commands", L"&Help"}));
    const std::wstring relaxed = window->Get<TControl>(L"lblRelaxed").Caption();
    EXPECT_EQ(relaxed.find(L"href=\"relaxed\""), std::wstring::npos);
    EXPECT_NE(relaxed.find(L"properly secured.<br>Relaxed Mode is turned off by your organization."), std::wstring::npos);
    for (const wchar_t* name : {L"Shape1", L"lblAdvert", L"imgAdvertisement", L"lblAdvertisementTitle", L"lblAdvertisement"})
        EXPECT_FALSE(window->Get<TControl>(name).Visible()) << name;
    EXPECT_EQ(window->ClientHeight(), 416 - 113);
    EXPECT_EQ(window->Get<TControl>(L"btnExit").Top(), 376 - 113);

    const Bounds before = BoundsOf(window->Get<TControl>(L"btnExit"));
    MoveToDpi(*window, 144);
    EXPECT_EQ(window->Get<TControl>(L"btnExit").Top(), ScaleToDpi(376, 144) - ScaleToDpi(113, 144));
    MoveToDpi(*window, 96);
    EXPECT_EQ(BoundsOf(window->Get<TControl>(L"btnExit")), before);

    window->mnuCommandsRelaxedModeClick(nullptr);  // as F3 would, were it enabled
    EXPECT_EQ(machine.String(HKEY_LOCAL_MACHINE, kWinlogon, L"AutoAdminLogon"), std::nullopt);
    EXPECT_TRUE(errors.empty());
}

}  // namespace
