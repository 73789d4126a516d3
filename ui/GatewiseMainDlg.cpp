#include "ui/GatewiseMainDlg.h"

#include "audit/Audit.h"
#include "diagnostics/AutologonState.h"
#include "diagnostics/Diagnostics.h"
#include "engine/ChangeLock.h"
#include "engine/NTSecurity.h"
#include "engine/Registry.h"
#include "engine/Utilities.h"
#include "engine/WindowsVersion.h"
#include "os/LateBoundTypes.h"
#include "resources/StringIds.h"
#include "shell/Gatewise_IDH.h"
#include "shell/HelpViewer.h"
#include "shell/ResStrings.h"
#include "shell/Substitution.h"
#include "switching/LastSwitch.h"
#include "toolkit/Application.h"
#include "toolkit/DpiScale.h"
#include "toolkit/OptionalFunction.h"
#include "ui/AboutDlg.h"
#include "ui/AccountDlgCore.h"
#include "ui/AutologonDlg.h"
#include "ui/CheckReportDlg.h"
#include "ui/GatewiseMainDlgCore.h"
#include "ui/InfoDlgEx.h"
#include "ui/InfoDlgExCore.h"
#include "ui/OptionsDlg.h"
#include "ui/VerifyPwdDlg.h"
#include "widgets/GuiUtilities.h"

#include <mmsystem.h>

#include <chrono>
#include <optional>
#include <random>

namespace ui {
namespace {

std::array<TAdvertisement, 4>& AdvertisementTable() {
    static std::array<TAdvertisement, 4> table;
    return table;
}

const std::array<const wchar_t*, 4> kAdvertisementLogos{L"LOGO_FG", L"LOGO_SL", L"LOGO_LG", L"LOGO_WW"};

std::string MainLayout() {
    widgets::RegisterBalloonHelp();
    return toolkit::LayoutResourceText(L"LAYOUT_MAIN");
}

// winmm is not among the DLLs that every process maps: it is loaded from the
// system folder at the first sound instead of being imported. Without it the
// notification goes silent.
void PlayExclamation() {
    static engine::OsFunctionSlot slot;
    if (auto play = toolkit::OptionalFunction<os::PFN_PlaySoundA>(slot, "winmm.dll", "PlaySoundA"))
        play("SystemExclamation", nullptr, SND_ASYNC);
}

// Posted once the window has painted itself the first time: the checks of
// what keeps the mode shown from taking effect wait for it.
constexpr UINT kFirstPaintDone = WM_APP + 40;

TCustomModeTexts CustomModeTexts() {
    return {shell::ResString(IDS_CUSTOM_LINE),   shell::ResString(IDS_CUSTOM_NONE_SET),
            shell::ResString(IDS_CUSTOM_BOTH),   shell::ResString(IDS_CUSTOM_EITHER),
            shell::ResString(IDS_MOMENT_STARTUP), shell::ResString(IDS_MOMENT_WAKE),
            shell::ResString(IDS_MOMENT_SCREEN_SAVER)};
}

TModeLineTexts ModeLineTexts() {
    return {CustomModeTexts(),
            {shell::ResString(IDS_OVERRIDDEN_MORE), shell::ResString(IDS_OVERRIDDEN_SAYS_MORE)},
            shell::ResString(IDS_MODE_UNKNOWN)};
}

// The power settings whose changes Windows sends as WM_POWERBROADCAST: the
// power source (which of a scheme's two values applies), the active scheme,
// and the password on wake itself.
constexpr GUID kPowerSource = {0x5D3E9A59, 0xE9D5, 0x4B00, {0xA6, 0xBD, 0xFF, 0x34, 0xFF, 0x51, 0x65, 0x48}};
constexpr GUID kActivePowerScheme = {0x31F9F286, 0x5084, 0x42FE, {0xB7, 0x20, 0x2B, 0x02, 0x64, 0x99, 0x37, 0x63}};

// Where Windows keeps the power settings: the schemes from Windows 6 on, the
// user's and the machine's power policies before.
const wchar_t kPowerSchemesKey[] = L"SYSTEM\\CurrentControlSet\\Control\\Power\\User\\PowerSchemes";
const wchar_t kUserPowerPolicyKey[] = L"Control Panel\\PowerCfg";
const wchar_t kMachinePowerPolicyKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Controls Folder\\PowerCfg";

std::wstring FormatAll(std::wstring format, std::initializer_list<std::wstring> arguments) {
    for (const std::wstring& argument : arguments) format = os::Format(format, argument);
    return format;
}

std::wstring ModeName(settings::TPromptMode mode) {
    switch (mode) {
    case settings::pmSecure:
        return shell::ResString(IDS_SECURE_MODE);
    case settings::pmRelaxed:
        return shell::ResString(IDS_RELAXED_MODE);
    case settings::pmCustom:
        break;
    }
    return shell::ResString(IDS_CUSTOM_MODE);
}

// "Secure Mode", "2024-05-01 10:32": the switch as the undo messages name it.
std::wstring SwitchModeName(const switching::TLastSwitch& last) { return ModeName(last.before.mode); }

std::wstring SchemesGoneText(const std::vector<std::string>& schemes) {
    if (schemes.empty()) return {};
    std::string names;
    for (const std::string& scheme : schemes) names += (names.empty() ? "" : ", ") + scheme;
    return os::Format(shell::ResString(IDS_UNDO_SCHEMES_GONE), os::FromUtf8(names));
}
std::wstring SwitchTime(const switching::TLastSwitch& last) { return os::FromUtf8(switching::LocalTimeText(last.time)); }

}  // namespace

void InitializeMainWindowUnit() {
    for (int i = 0; i < 4; ++i) {
        unsigned base = IDS_ADVERT_BASE + 10 * static_cast<unsigned>(i);
        AdvertisementTable()[i] = {shell::ResString(base + IDS_ADVERT_NAME), shell::ResString(base + IDS_ADVERT_TAGLINE),
                                   shell::ResString(base + IDS_ADVERT_DESCRIPTION1) +
                                       shell::ResStringOrEmpty(base + IDS_ADVERT_DESCRIPTION2),
                                   shell::ResString(base + IDS_ADVERT_PAGE)};
    }
    shell::CreateSubstitutionList();
    widgets::RegisterKXLabel();
    shell::SetHelpFailureHandler([](HWND owner, const std::wstring& message) {
        ShowErrorEx(dynamic_cast<toolkit::TForm*>(toolkit::TWinControl::FromHandle(owner)), PlainTextMarkup(message),
                    shell::ResString(IDS_HELP_CAPTION), 0);
    });
}

void FinalizeMainWindowUnit() {
    shell::SetHelpFailureHandler(nullptr);
    shell::FreeSubstitutionList();
    AdvertisementTable() = {};
}

const std::array<TAdvertisement, 4>& Advertisements() { return AdvertisementTable(); }

std::wstring AdvertisementAddress(int index) {
    std::wstring page = index >= 0 && index < 4 ? Advertisements()[static_cast<std::size_t>(index)].page
                                                : shell::ResString(IDS_ADVERT_MAKER_PAGE);
    return page + shell::ResString(IDS_ADVERT_CAMPAIGN);
}

TdlgGatewiseMain::TdlgGatewiseMain(toolkit::TComponent* owner)
    : TSubstForm(owner, MainLayout(), "LAYOUT_MAIN"),
      pnlConsole(Get<toolkit::TPanel>(L"pnlConsole")),
      lblModeLine(Get<toolkit::TLabel>(L"lblModeLine")),
      imgSecure(Get<toolkit::TImage>(L"imgSecure")),
      lblSecureTitle(Get<toolkit::TLabel>(L"lblSecureTitle")),
      imgRelaxed(Get<toolkit::TImage>(L"imgRelaxed")),
      lblRelaxedTitle(Get<toolkit::TLabel>(L"lblRelaxedTitle")),
      lblRelaxed(Get<widgets::TKXLabel>(L"lblRelaxed")),
      shpAdvertisement(Get<toolkit::TShape>(L"Shape1")),
      lblAdvert(Get<toolkit::TLabel>(L"lblAdvert")),
      imgAdvertisement(Get<toolkit::TImage>(L"imgAdvertisement")),
      lblAdvertisementTitle(Get<toolkit::TLabel>(L"lblAdvertisementTitle")),
      lblAdvertisement(Get<widgets::TKXLabel>(L"lblAdvertisement")),
      btnExit(Get<toolkit::TButton>(L"btnExit")),
      dlgBalloon(Get<widgets::TBalloonHelp>(L"dlgBalloon")),
      tmrBalloon(Get<toolkit::TTimer>(L"tmrBalloon")),
      tmrRefresh(Get<toolkit::TTimer>(L"tmrRefresh")),
      mnuCommandsRelaxedMode(Get<toolkit::TMenuItem>(L"mnuCommandsRelaxedMode")),
      mnuAdditionalProducts(Get<toolkit::TMenuItem>(L"mnuAdditionalProducts")),
      mnuCommandsUndo(Get<toolkit::TMenuItem>(L"mnuCommandsUndo")),
      mnuCommandsSetAccount(Get<toolkit::TMenuItem>(L"mnuCommandsSetAccount")),
      mnuCommandsRemoveAccount(Get<toolkit::TMenuItem>(L"mnuCommandsRemoveAccount")),
      mnuCommandsRelaxedOnce(Get<toolkit::TMenuItem>(L"mnuCommandsRelaxedOnce")),
      mnuHelpAbout(Get<toolkit::TMenuItem>(L"mnuHelpAbout")) {
    RegisterHandler("SubstFormCreate", &TdlgGatewiseMain::SubstFormCreate);
    RegisterHandler("ButtonMouseEnter", &TdlgGatewiseMain::ButtonMouseEnter);
    RegisterHandler("ButtonMouseLeave", &TdlgGatewiseMain::ButtonMouseLeave);
    RegisterHandler("HideBalloon", &TdlgGatewiseMain::HideBalloon);
    RegisterHandler("LinkClick",
                    widgets::TKXLabelLinkClickEvent([this](toolkit::TComponent* sender, widgets::THTMLRenderItem& item) {
                        LinkClick(sender, item);
                    }));
    RegisterHandler("mnuCommandsSecureModeClick", &TdlgGatewiseMain::mnuCommandsSecureModeClick);
    RegisterHandler("mnuCommandsRelaxedModeClick", &TdlgGatewiseMain::mnuCommandsRelaxedModeClick);
    RegisterHandler("mnuCommandsRelaxedOnceClick", &TdlgGatewiseMain::mnuCommandsRelaxedOnceClick);
    RegisterHandler("mnuCommandsUndoClick", &TdlgGatewiseMain::mnuCommandsUndoClick);
    RegisterHandler("tmrRefreshTimer", &TdlgGatewiseMain::tmrRefreshTimer);
    RegisterHandler("mnuCommandsOptionsClick", &TdlgGatewiseMain::mnuCommandsOptionsClick);
    RegisterHandler("mnuCommandsSetAccountClick", &TdlgGatewiseMain::mnuCommandsSetAccountClick);
    RegisterHandler("mnuCommandsRemoveAccountClick", &TdlgGatewiseMain::mnuCommandsRemoveAccountClick);
    RegisterHandler("mnuCommandsCheckSettingsClick", &TdlgGatewiseMain::mnuCommandsCheckSettingsClick);
    RegisterHandler("mnuCommandsUsersManagementClick", &TdlgGatewiseMain::mnuCommandsUsersManagementClick);
    RegisterHandler("mnuCommandsExitClick", &TdlgGatewiseMain::mnuCommandsExitClick);
    RegisterHandler("mnuHelpHelpClick", &TdlgGatewiseMain::mnuHelpHelpClick);
    RegisterHandler("mnuHelpWebSiteClick", &TdlgGatewiseMain::mnuHelpWebSiteClick);
    RegisterHandler("mnuHelpTechnicalSupportClick", &TdlgGatewiseMain::mnuHelpTechnicalSupportClick);
    RegisterHandler("mnuHelpAboutClick", &TdlgGatewiseMain::mnuHelpAboutClick);
    RegisterHandler("lblAdvertisementTitleClick", &TdlgGatewiseMain::lblAdvertisementTitleClick);
}

TdlgGatewiseMain::~TdlgGatewiseMain() {
    imgSecure.SetPicture(nullptr);
    imgRelaxed.SetPicture(nullptr);
}

void TdlgGatewiseMain::SubstFormCreate(toolkit::TComponent*) {
    ShowAdvertisement();
    mutex_.Reset(CreateMutexA(nullptr, FALSE, "Global\\GatewiseMutex"));
    HelpContext = shell::IDH_MainWindow;
    mnuHelpAbout.SetCaption(shell::SubstituteText(mnuHelpAbout.Caption()));

    LoadModePictures();
    ButtonMouseLeave(&imgSecure);
    ButtonMouseLeave(&imgRelaxed);

    if (!engine::IsAdministrator()) {
        mnuCommandsSetAccount.SetEnabled(false);
        mnuCommandsRemoveAccount.SetEnabled(false);
        mnuCommandsRelaxedOnce.SetEnabled(false);
    }
    ApplyPolicies();

    FitClientHeight();

    WatchSettings();
    RefreshModeDisplay();
}

std::vector<TdlgGatewiseMain::TWatchedKey> TdlgGatewiseMain::WatchedKeys() const {
    const settings::TOptions& options = settings::GlobalOptions();
    std::vector<TWatchedKey> keys{
        {engine::kAutoAdminLogonValue.root, engine::kAutoAdminLogonValue.path, false},
        {engine::kScreenSaverIsSecureValue.root, engine::kScreenSaverIsSecureValue.path, false},
        {options.LocalMachine() ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER, options.KeyPath(), false}};
    if (engine::IsWindows6OrLater()) {
        keys.push_back({HKEY_LOCAL_MACHINE, kPowerSchemesKey, true});
    } else {
        keys.push_back({HKEY_CURRENT_USER, kUserPowerPolicyKey, true});
        keys.push_back({HKEY_LOCAL_MACHINE, kMachinePowerPolicyKey, true});
    }
    return keys;
}

// A watch that cannot be set up (a key that is missing or may not be read)
// leaves the refresh on activation; one missing function before Windows 6
// leaves only the power messages that every Windows sends.
void TdlgGatewiseMain::WatchSettings() {
    const REGSAM view = engine::SettingsReadAccess() & KEY_WOW64_64KEY;
    for (const TWatchedKey& key : WatchedKeys()) {
        try {
            auto watch = std::make_unique<toolkit::TRegistryWatch>(key.root, key.path, view, key.subtree);
            watch->OnChange = [this] { SettingsChanged(); };
            watch->OnFailure = [this] { refreshSchedule_.WatchFailed(); };
            registryWatches_.push_back(std::move(watch));
        } catch (const std::exception&) {
            refreshSchedule_.WatchFailed();
        }
    }
    if (!toolkit::TPowerSettingWatch::Supported()) return;
    const std::array<GUID, 3> settings{kPowerSource, kActivePowerScheme, os::kLockConsoleOnWake};
    for (std::size_t i = 0; i < settings.size(); ++i)
        if (!powerWatches_[i].Register(Handle(), settings[i])) refreshSchedule_.WatchFailed();
}

void TdlgGatewiseMain::SettingsChanged() {
    const TRefreshSchedule::Delay delay = refreshSchedule_.Changed(TRefreshSchedule::Clock::now());
    tmrRefresh.SetInterval(static_cast<unsigned>(delay.count()));
    tmrRefresh.SetEnabled(true);
}

void TdlgGatewiseMain::tmrRefreshTimer(toolkit::TComponent*) {
    const TRefreshSchedule::Clock::time_point now = TRefreshSchedule::Clock::now();
    if (refreshSchedule_.Due(now)) {
        tmrRefresh.SetEnabled(false);
        RefreshForOutsideChanges();
    } else if (refreshSchedule_.Pending()) {
        tmrRefresh.SetInterval(static_cast<unsigned>(refreshSchedule_.Remaining(now).count()));
    } else {
        tmrRefresh.SetEnabled(false);
    }
}

// An error is shown here, and no other refresh starts while it shows: the
// settings that could not be read may keep changing meanwhile.
void TdlgGatewiseMain::RefreshForOutsideChanges() {
    if (refreshingForOthers_) return;
    refreshingForOthers_ = true;
    toolkit::Guarded([this] {
        settings::GlobalOptions().AdoptStoredChanges();
        RefreshModeDisplay();
    });
    refreshingForOthers_ = false;
}

LRESULT TdlgGatewiseMain::WndProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SETTINGCHANGE:
        SettingsChanged();
        break;
    case WM_POWERBROADCAST:
        SettingsChanged();
        return TRUE;
    case WM_PAINT:
        if (!painted_) {
            painted_ = true;
            PostMessageW(Handle(), kFirstPaintDone, 0, 0);
        }
        break;
    case kFirstPaintDone:
        toolkit::Guarded([this] { RefreshModeDisplay(); });
        return 0;
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE && refreshSchedule_.RefreshOnActivation()) RefreshForOutsideChanges();
        break;
    default:
        break;
    }
    return TSubstForm::WndProc(message, wParam, lParam);
}

void TdlgGatewiseMain::ApplyRunTimeLayout() {
    TSubstForm::ApplyRunTimeLayout();
    LoadModePictures();
    LeaveOutAdditionalProducts();
    customLineRoom_ = 0;
    PlaceCustomModeLine();
    FitClientHeight();
}

// The images keep showing the same slot (normal or highlighted), now holding
// the picture for the new resolution.
void TdlgGatewiseMain::LoadModePictures() {
    const int pixelsPerInch = PixelsPerInch();
    pictures_[kClose] = widgets::CreatePNGFromResource(L"CLOSE", pixelsPerInch);
    pictures_[kOpen] = widgets::CreatePNGFromResource(L"OPEN", pixelsPerInch);
    pictures_[kCloseHot] = widgets::CreatePNGFromResource(L"CLOSE_HOT", pixelsPerInch);
    pictures_[kOpenHot] = widgets::CreatePNGFromResource(L"OPEN_HOT", pixelsPerInch);
    for (toolkit::TImage* image : {&imgSecure, &imgRelaxed})
        if (image->CurrentPicture()) image->SetPicture(image->CurrentPicture());
}

void TdlgGatewiseMain::FitClientHeight() {
    int gap = btnExit.Top() - (pnlConsole.Top() + pnlConsole.Height());
    SetClientHeight(btnExit.Top() + btnExit.Height() + gap);
}

void TdlgGatewiseMain::ApplyPolicies() {
    const settings::TPolicies& policies = settings::GlobalOptions().Policies();
    if (!policies.RelaxedModeAllowed()) {
        mnuCommandsRelaxedMode.SetEnabled(false);
        mnuCommandsRelaxedOnce.SetEnabled(false);
        imgRelaxed.Cursor = toolkit::crDefault;
        lblRelaxedTitle.Cursor = toolkit::crDefault;
        lblRelaxed.SetCaption(WithoutRelaxedLink(lblRelaxed.Caption(), shell::ResString(IDS_RELAXED_TURNED_OFF)));
    }
    LeaveOutAdditionalProducts();
}

void TdlgGatewiseMain::LeaveOutAdditionalProducts() {
    if (settings::GlobalOptions().Policies().ShowsAdditionalProducts()) return;
    mnuAdditionalProducts.SetVisible(false);
    for (toolkit::TControl* control : std::initializer_list<toolkit::TControl*>{
             &shpAdvertisement, &lblAdvert, &imgAdvertisement, &lblAdvertisementTitle, &lblAdvertisement})
        control->SetVisible(false);
    const int room = shpAdvertisement.Height();
    pnlConsole.SetHeight(pnlConsole.Height() - room);
    for (toolkit::TControl* control : Controls())
        if (control != &pnlConsole) control->SetTop(control->Top() - room);
    FitClientHeight();
}

void TdlgGatewiseMain::ShowAdvertisement() {
    std::mt19937 random(static_cast<unsigned>(std::chrono::system_clock::now().time_since_epoch().count()));
    advertIndex_ = static_cast<std::uint8_t>(std::uniform_int_distribution<int>(0, 3)(random));
    widgets::LoadPNGImage(imgAdvertisement, kAdvertisementLogos[advertIndex_]);
    const TAdvertisement& advertisement = Advertisements()[advertIndex_];
    imgAdvertisement.AccessibleName = advertisement.name;
    lblAdvertisementTitle.SetCaption(advertisement.tagline);
    lblAdvertisement.SetCaption(advertisement.description);
}

void TdlgGatewiseMain::RefreshModeDisplay() {
    settings::TOptions& options = settings::GlobalOptions();
    const TModeDisplay display = ReadModeDisplay(options, painted_, ModeLineTexts());
    const std::optional<settings::TPromptMode>& mode = display.mode;
    overriddenLine_ = display.overridden;
    unreadable_ = display.unreadable;
    const std::wstring active = shell::ResString(IDS_CURRENTLY_ACTIVE);
    lblSecureTitle.SetCaption(shell::ResString(IDS_SECURE_MODE) + (mode == settings::pmSecure ? active : L""));
    // A record that cannot be used keeps the undo command, which then says why.
    const switching::TStoredSwitch stored = switching::ReadLastSwitch(options);
    const bool once = mode == settings::pmRelaxed && switching::OneTimeLogonPending(stored.last);
    lblRelaxedTitle.SetCaption(shell::ResString(once ? IDS_RELAXED_ONCE_MODE : IDS_RELAXED_MODE) +
                               (mode == settings::pmRelaxed ? active : L""));
    lblModeLine.SetCaption(display.line);
    lblModeLine.SetVisible(!display.line.empty());
    PlaceCustomModeLine();
    mnuCommandsUndo.SetEnabled(stored.last || !stored.problem.empty());
    if (painted_) ShowUnreadableOnce();
}

// Set before the message shows, so that the refreshes while it shows do not
// show it again; a mode read again clears it.
void TdlgGatewiseMain::ShowUnreadableOnce() {
    if (unreadable_.empty()) unreadableShown_.clear();
    if (unreadable_.empty() || unreadable_ == unreadableShown_) return;
    unreadableShown_ = unreadable_;
    ShowErrorEx(this, os::Format(shell::ResString(IDS_MODE_UNREADABLE), PlainTextMarkup(unreadable_)),
                shell::ResString(IDS_MODE_UNREADABLE_CAPTION), HelpContext);
}

void TdlgGatewiseMain::PlaceCustomModeLine() {
    const int room = lblModeLine.Visible() ? lblModeLine.Height() + toolkit::ScaleToDpi(8, PixelsPerInch()) : 0;
    const int shift = room - customLineRoom_;
    if (shift == 0) return;
    customLineRoom_ = room;
    for (toolkit::TControl* control : pnlConsole.Controls())
        if (control != &lblModeLine && control->Top() >= lblModeLine.Top()) control->SetTop(control->Top() + shift);
    pnlConsole.SetHeight(pnlConsole.Height() + shift);
    for (toolkit::TControl* control : Controls())
        if (control != &pnlConsole) control->SetTop(control->Top() + shift);
    FitClientHeight();
}

toolkit::TImage* TdlgGatewiseMain::ImageForControl(toolkit::TComponent* sender) {
    if (auto* image = dynamic_cast<toolkit::TImage*>(sender)) return image;
    if (sender == &lblSecureTitle) return &imgSecure;
    if (sender == &lblRelaxedTitle) return &imgRelaxed;
    return nullptr;
}

// Plain labels only: a markup label (TKXLabel) is no TLabel, and its links
// carry their own underline.
toolkit::TLabel* TdlgGatewiseMain::LabelForControl(toolkit::TComponent* sender) {
    if (auto* label = dynamic_cast<toolkit::TLabel*>(sender)) return label;
    if (sender == &imgSecure) return &lblSecureTitle;
    if (sender == &imgRelaxed) return &lblRelaxedTitle;
    return nullptr;
}

void TdlgGatewiseMain::ShowModePicture(toolkit::TImage* image, bool highlighted) {
    if (!image) return;
    if (image->Tag == 1) image->SetPicture(&pictures_[highlighted ? kCloseHot : kClose]);
    else if (image->Tag == 2) image->SetPicture(&pictures_[highlighted ? kOpenHot : kOpen]);
}

void TdlgGatewiseMain::ButtonMouseEnter(toolkit::TComponent* sender) {
    if (toolkit::TLabel* label = LabelForControl(sender))
        label->Font().SetStyle(label->Font().Style() | toolkit::fsUnderline);
    ShowModePicture(ImageForControl(sender), true);
}

void TdlgGatewiseMain::ButtonMouseLeave(toolkit::TComponent* sender) {
    if (toolkit::TLabel* label = LabelForControl(sender))
        label->Font().SetStyle(label->Font().Style() & ~toolkit::fsUnderline);
    ShowModePicture(ImageForControl(sender), false);
}

void TdlgGatewiseMain::HideBalloon(toolkit::TComponent*) {
    dlgBalloon.Hide();
    tmrBalloon.SetEnabled(false);
}

void TdlgGatewiseMain::LinkClick(toolkit::TComponent* sender, widgets::THTMLRenderItem& item) {
    HideBalloon(sender);
    if (item.Href == L"advertisement") lblAdvertisementTitleClick(sender);
    else if (item.Href == L"secure") mnuCommandsSecureModeClick(sender);
    else if (item.Href == L"relaxed") mnuCommandsRelaxedModeClick(sender);
}

void TdlgGatewiseMain::mnuCommandsSecureModeClick(toolkit::TComponent* sender) {
    HideBalloon(sender);
    settings::GlobalOptions().AdoptStoredChanges();
    if (settings::GlobalOptions().VerifyPassword()) {
        switch (shell::ExecuteModalOrRaise<TdlgVerifyPwd>(this)) {
        case toolkit::mrCancel:
            ShowModeNotification(settings::pmSecure, shell::ResString(IDS_SECURE_NOT_CONFIRMED));
            return;
        case toolkit::mrAbort:
            ShowModeNotification(settings::pmSecure, shell::ResString(IDS_ACCOUNT_WITHOUT_PASSWORD));
            return;
        default:
            break;
        }
    }
    SwitchMode(settings::pmSecure);
}

void TdlgGatewiseMain::mnuCommandsRelaxedModeClick(toolkit::TComponent* sender) {
    HideBalloon(sender);
    if (!settings::GlobalOptions().Policies().RelaxedModeAllowed()) return;
    if (PasswordLessSignInAllowsRelaxedMode() && CanEnterRelaxedMode()) SwitchMode(settings::pmRelaxed);
}

void TdlgGatewiseMain::mnuCommandsRelaxedOnceClick(toolkit::TComponent* sender) {
    HideBalloon(sender);
    if (!settings::GlobalOptions().Policies().RelaxedModeAllowed()) return;
    settings::GlobalOptions().AdoptStoredChanges();
    if (!settings::GlobalOptions().AutochangeStartup()) {
        ShowModeNotification(settings::pmRelaxed, shell::ResString(IDS_RELAXED_ONCE_NO_STARTUP));
        return;
    }
    if (PasswordLessSignInAllowsRelaxedMode() && CanEnterRelaxedMode()) SwitchMode(settings::pmRelaxed, true);
}

bool TdlgGatewiseMain::PasswordLessSignInAllowsRelaxedMode() {
    settings::GlobalOptions().AdoptStoredChanges();
    if (!settings::GlobalOptions().AutochangeStartup()) return true;
    const TAccountFields account = AutologonAccountFields();
    bool stops = false;
    try {
        stops = diagnostics::PasswordLessSignInStops(account.user, account.domain);
    } catch (const engine::Exception&) {
        return true;  // a value that cannot be read: Check settings tells
    }
    if (!stops) return true;
    const std::wstring name = os::FromUtf8(diagnostics::AccountDisplayName(account.user, account.domain));
    const std::wstring caption = shell::ResString(IDS_PASSWORD_LESS_CAPTION);
    switch (AskYesNoEx(this, os::Format(shell::ResString(IDS_PASSWORD_LESS_QUESTION), PlainTextMarkup(name)), caption,
                       true, nullptr, HelpContext)) {
    case iaNo:
        return true;
    case iaCancel:
        return false;
    case iaYes:
        break;
    }
    audit::Warnings ignored;  // as for a switch
    try {
        audit::ApplyFix("password-less-sign-in", audit::orWindow, ignored);
        return true;
    } catch (const engine::Exception& error) {
        ShowErrorEx(this, PlainTextMarkup(os::FromUtf8(error.what())), caption, HelpContext);
        return false;
    }
}

bool TdlgGatewiseMain::CanEnterRelaxedMode() {
    settings::GlobalOptions().AdoptStoredChanges();
    if (!settings::GlobalOptions().AutochangeStartup()) return true;
    const engine::AutologonAccount account = engine::GetAutologonAccount();
    if (account.user.empty() || !account.hasPassword) return shell::Execute<TdlgAutologon>(this);
    return true;
}

void TdlgGatewiseMain::SwitchMode(settings::TPromptMode mode, bool once) {
    std::wstring failure;
    std::wstring note;
    bool already = false;
    // The window goes on without the event when it cannot be written: the
    // switch is done, and the event log is for administrators to read.
    audit::Warnings ignored;
    try {
        engine::TChangeLock lock(engine::TChangeLock::lpPerUser);
        const switching::TSwitchResult result =
            audit::SwitchMode(settings::GlobalOptions(), mode, lock, audit::orWindow, ignored, once);
        already = result.changedNothing;
        if (!result.undoAvailable && !already) note = shell::ResString(IDS_UNDO_UNAVAILABLE);
    } catch (const switching::ESwitchFailed& error) {
        failure = os::FromUtf8(error.what());
    } catch (const engine::EChangeInProgress& busy) {
        failure = os::FromUtf8(busy.what());
    } catch (const settings::EForbiddenByPolicy& refused) {
        failure = os::FromUtf8(refused.what());
    }
    // First, so that the balloon points at the title where it then stays:
    // the line under the header may come or go and move the titles.
    RefreshModeDisplay();
    const std::wstring name = once ? shell::ResString(IDS_RELAXED_ONCE_MODE) : ModeName(mode);
    if (already)
        Notify(mode, shell::ResString(IDS_MODE_UNCHANGED), os::Format(shell::ResString(IDS_MODE_ALREADY_FORMAT), name),
               false);
    else if (failure.empty() && !overriddenLine_.empty())
        Notify(mode, shell::ResString(IDS_MODE_NOT_IN_EFFECT),
               FormatAll(shell::ResString(IDS_MODE_NOT_IN_EFFECT_FORMAT), {name, overriddenLine_}) + note, false);
    else
        ShowModeNotification(mode, failure, note, once);
}

void TdlgGatewiseMain::mnuCommandsUndoClick(toolkit::TComponent* sender) {
    HideBalloon(sender);
    settings::TOptions& options = settings::GlobalOptions();
    switching::TUndoOutcome outcome;
    std::optional<switching::TLastSwitch> named;
    std::wstring failure;
    audit::Warnings ignored;  // as for a switch
    // Each undo holds the lock for itself alone: never while the question waits for the user.
    const auto undo = [&](bool force) {
        engine::TChangeLock lock(engine::TChangeLock::lpPerUser);
        return audit::UndoLastSwitch(options, force, lock, audit::orWindow, ignored, named ? &*named : nullptr);
    };
    try {
        outcome = undo(false);
        if (outcome.result == switching::TUndoResult::ChangedSince && AskUndoAnyway(outcome)) {
            named = outcome.last;
            outcome = undo(true);
        }
    } catch (const switching::ESwitchFailed& error) {
        failure = os::FromUtf8(error.what());
    } catch (const engine::EChangeInProgress& busy) {
        failure = os::FromUtf8(busy.what());
    } catch (const settings::EForbiddenByPolicy& refused) {
        failure = os::FromUtf8(refused.what());
    }
    RefreshModeDisplay();
    if (failure.empty()) ShowUndoOutcome(outcome, named ? &*named : nullptr);
    else Notify(options.GetCurrentMode(), shell::ResString(IDS_UNDO_NOT_DONE_CAPTION), failure, true);
}

bool TdlgGatewiseMain::AskUndoAnyway(const switching::TUndoOutcome& outcome) {
    const switching::TLastSwitch& last = *outcome.last;
    std::wstring names;
    for (const std::string& name : outcome.changed)
        names += (names.empty() ? L"" : L", ") + os::FromUtf8(switching::SettingInWords(name));
    const std::wstring question =
        last.after ? FormatAll(shell::ResString(IDS_UNDO_CHANGED_SINCE),
                               {SwitchModeName(last), SwitchTime(last), PlainTextMarkup(names)})
                   : FormatAll(shell::ResString(IDS_UNDO_UNFINISHED), {SwitchModeName(last), SwitchTime(last)});
    return AskNoByDefaultEx(this, question, shell::ResString(IDS_UNDO_CAPTION), HelpContext) == iaYes;
}

void TdlgGatewiseMain::ShowUndoOutcome(const switching::TUndoOutcome& outcome, const switching::TLastSwitch* named) {
    const std::wstring caption = shell::ResString(IDS_UNDO_CAPTION);
    switch (outcome.result) {
    case switching::TUndoResult::Done:
        Notify(settings::GlobalOptions().GetCurrentMode(), shell::ResString(IDS_UNDO_DONE_CAPTION),
               FormatAll(shell::ResString(IDS_UNDO_DONE), {SwitchModeName(*outcome.last), SwitchTime(*outcome.last)}) +
                   (outcome.startupLeftAsking ? shell::ResString(IDS_UNDO_LEFT_ASKING) : L"") +
                   SchemesGoneText(outcome.schemesGone) +
                   (outcome.problem.empty() ? L"" : L"\r" + os::FromUtf8(outcome.problem)),
               false);
        break;
    case switching::TUndoResult::NothingToUndo: {
        std::wstring text = shell::ResString(IDS_UNDO_NOTHING);
        if (!outcome.problem.empty()) text = PlainTextMarkup(os::FromUtf8(outcome.problem)) + L"<br><br>" + text;
        ShowInfoEx(this, text, caption, HelpContext);
        break;
    }
    case switching::TUndoResult::NeedsAdministrator:
        ShowErrorEx(this,
                    FormatAll(shell::ResString(IDS_UNDO_NEEDS_ADMINISTRATOR),
                              {SwitchModeName(*outcome.last), SwitchTime(*outcome.last)}),
                    caption, HelpContext);
        break;
    case switching::TUndoResult::RecordChanged:
        ShowErrorEx(this,
                    FormatAll(shell::ResString(IDS_UNDO_RECORD_CHANGED), {SwitchModeName(*named), SwitchTime(*named)}),
                    caption, HelpContext);
        break;
    case switching::TUndoResult::ChangedSince:
        break;  // the user said No
    }
}

void TdlgGatewiseMain::ShowModeNotification(settings::TPromptMode mode, const std::wstring& errorText,
                                            const std::wstring& note, bool once) {
    const bool changed = errorText.empty();
    const std::wstring name = once ? shell::ResString(IDS_RELAXED_ONCE_MODE) : ModeName(mode);
    Notify(mode, shell::ResString(changed ? IDS_MODE_CHANGED : IDS_MODE_NOT_CHANGED),
           changed ? os::Format(shell::ResString(IDS_MODE_CHANGED_FORMAT), name) + note : errorText, !changed);
}

void TdlgGatewiseMain::Notify(settings::TPromptMode mode, const std::wstring& caption, const std::wstring& text,
                              bool error) {
    PlayExclamation();
    if (!widgets::BalloonTipsEnabled()) {
        // The message dialog shows markup, which folds a carriage return into a space.
        if (error) ShowErrorEx(this, PlainTextMarkup(text), caption, HelpContext);
        else ShowInfoEx(this, PlainTextMarkup(text), caption, HelpContext);
        return;
    }
    dlgBalloon.SetTitle(caption);
    dlgBalloon.SetText(text);
    dlgBalloon.BalloonIcon = error ? widgets::bError : widgets::bInfo;
    dlgBalloon.BackGroundColor = error ? toolkit::RGBColor(255, 204, 255) : toolkit::clInfoBk;
    // A tooltip breaks its lines, at a carriage return too, only once it has a
    // maximum width; as wide as the window, the texts break only there.
    dlgBalloon.MaxTipWidth = ClientWidth();
    const toolkit::TLabel& title = mode == settings::pmRelaxed ? lblRelaxedTitle : lblSecureTitle;
    const POINT anchor = title.ClientToScreen({0, lblSecureTitle.Height()});
    const int dpi = PixelsPerInch();
    dlgBalloon.ShowAt(anchor.x + toolkit::ScaleToDpi(20, dpi), anchor.y + toolkit::ScaleToDpi(5, dpi));
    // Restarted, so that the balloon stays its full time.
    tmrBalloon.SetEnabled(false);
    tmrBalloon.SetEnabled(true);
}

void TdlgGatewiseMain::mnuCommandsOptionsClick(toolkit::TComponent* sender) {
    HideBalloon(sender);
    shell::Execute<TdlgOptions>(this);
    RefreshModeDisplay();
}

void TdlgGatewiseMain::mnuCommandsSetAccountClick(toolkit::TComponent* sender) {
    HideBalloon(sender);
    shell::Execute<TdlgAutologon>(this);
}

void TdlgGatewiseMain::mnuCommandsRemoveAccountClick(toolkit::TComponent* sender) {
    HideBalloon(sender);
    const std::wstring caption = shell::ResString(IDS_REMOVE_ACCOUNT_CAPTION);
    const TAccountFields account = AutologonAccountFields();
    const std::wstring name =
        account.user.empty() ? shell::ResString(IDS_REMOVE_ACCOUNT_NONE)
                             : PlainTextMarkup(os::FromUtf8(diagnostics::AccountDisplayName(account.user, account.domain)));
    if (AskNoByDefaultEx(this, os::Format(shell::ResString(IDS_REMOVE_ACCOUNT_QUESTION), name), caption, HelpContext) !=
        iaYes)
        return;
    std::wstring failure;
    switching::TSwitchResult result;
    audit::Warnings ignored;  // as for a switch
    try {
        engine::TChangeLock lock(engine::TChangeLock::lpPerUser);
        result = audit::RemoveAutologonAccount(settings::GlobalOptions(), lock, audit::orWindow, ignored);
    } catch (const switching::ESwitchFailed& error) {
        failure = os::FromUtf8(error.what());
    } catch (const engine::EChangeInProgress& busy) {
        failure = os::FromUtf8(busy.what());
    }
    RefreshModeDisplay();
    if (!failure.empty()) ShowErrorEx(this, PlainTextMarkup(failure), caption, HelpContext);
    else if (result.changedNothing) ShowInfoEx(this, shell::ResString(IDS_REMOVE_ACCOUNT_NOTHING), caption, HelpContext);
    else
        ShowInfoEx(this,
                   shell::ResString(IDS_REMOVE_ACCOUNT_DONE) +
                       (result.undoAvailable ? L"" : L"<br><br>" + PlainTextMarkup(shell::ResString(IDS_UNDO_UNAVAILABLE))),
                   caption, HelpContext);
}

void TdlgGatewiseMain::mnuCommandsUsersManagementClick(toolkit::TComponent*) {
    widgets::RunSystemProgram(shell::ResString(IDS_USERS_MANAGEMENT_COMMAND));
}

void TdlgGatewiseMain::mnuCommandsCheckSettingsClick(toolkit::TComponent* sender) {
    HideBalloon(sender);
    shell::ExecuteModal<TdlgCheckReport>(this);
    RefreshModeDisplay();  // a fix may have changed what the mode depends on
}

void TdlgGatewiseMain::mnuCommandsExitClick(toolkit::TComponent* sender) {
    HideBalloon(sender);
    toolkit::Application().Terminate();
}

void TdlgGatewiseMain::mnuHelpHelpClick(toolkit::TComponent* sender) {
    HideBalloon(sender);
    toolkit::Application().HelpContents();
}

void TdlgGatewiseMain::mnuHelpWebSiteClick(toolkit::TComponent* sender) {
    HideBalloon(sender);
    OpenPage(shell::ResString(IDS_PRODUCT_PAGE));
}

void TdlgGatewiseMain::mnuHelpTechnicalSupportClick(toolkit::TComponent* sender) {
    HideBalloon(sender);
    OpenPage(shell::ResString(IDS_SUPPORT_PAGE));
}

void TdlgGatewiseMain::mnuHelpAboutClick(toolkit::TComponent* sender) {
    HideBalloon(sender);
    shell::Execute<TdlgAbout>(this);
}

void TdlgGatewiseMain::lblAdvertisementTitleClick(toolkit::TComponent* sender) {
    int index = advertIndex_;
    if (auto* item = dynamic_cast<toolkit::TMenuItem*>(sender)) index = item->Tag - 1;
    OpenPage(AdvertisementAddress(index));
}

void TdlgGatewiseMain::OpenPage(const std::wstring& address) { widgets::OpenURL(address, Handle()); }

}  // namespace ui
