#include "ui/GatewiseMainDlg.h"

#include "audit/Audit.h"
#include "diagnostics/Diagnostics.h"
#include "engine/NTSecurity.h"
#include "engine/Utilities.h"
#include "os/LateBoundTypes.h"
#include "settings/SwitchRecord.h"
#include "resources/StringIds.h"
#include "shell/Gatewise_IDH.h"
#include "shell/HelpViewer.h"
#include "shell/ResStrings.h"
#include "shell/Substitution.h"
#include "toolkit/Application.h"
#include "toolkit/DpiScale.h"
#include "toolkit/OptionalFunction.h"
#include "ui/AboutDlg.h"
#include "ui/AutologonDlg.h"
#include "ui/GatewiseMainDlgCore.h"
#include "ui/InfoDlgEx.h"
#include "ui/InfoDlgExCore.h"
#include "ui/OptionsDlg.h"
#include "ui/VerifyPwdDlg.h"
#include "widgets/GuiUtilities.h"

#include <mmsystem.h>

#include <chrono>
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

TCustomModeTexts CustomModeTexts() {
    return {shell::ResString(IDS_CUSTOM_LINE),   shell::ResString(IDS_CUSTOM_NONE_SET),
            shell::ResString(IDS_CUSTOM_BOTH),   shell::ResString(IDS_CUSTOM_EITHER),
            shell::ResString(IDS_MOMENT_STARTUP), shell::ResString(IDS_MOMENT_WAKE),
            shell::ResString(IDS_MOMENT_SCREEN_SAVER)};
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
      lblCustomMode(Get<toolkit::TLabel>(L"lblCustomMode")),
      imgSecure(Get<toolkit::TImage>(L"imgSecure")),
      lblSecureTitle(Get<toolkit::TLabel>(L"lblSecureTitle")),
      imgRelaxed(Get<toolkit::TImage>(L"imgRelaxed")),
      lblRelaxedTitle(Get<toolkit::TLabel>(L"lblRelaxedTitle")),
      imgAdvertisement(Get<toolkit::TImage>(L"imgAdvertisement")),
      lblAdvertisementTitle(Get<toolkit::TLabel>(L"lblAdvertisementTitle")),
      lblAdvertisement(Get<widgets::TKXLabel>(L"lblAdvertisement")),
      btnExit(Get<toolkit::TButton>(L"btnExit")),
      dlgBalloon(Get<widgets::TBalloonHelp>(L"dlgBalloon")),
      tmrBalloon(Get<toolkit::TTimer>(L"tmrBalloon")),
      mnuCommandsSetAccount(Get<toolkit::TMenuItem>(L"mnuCommandsSetAccount")),
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
    RegisterHandler("mnuCommandsOptionsClick", &TdlgGatewiseMain::mnuCommandsOptionsClick);
    RegisterHandler("mnuCommandsSetAccountClick", &TdlgGatewiseMain::mnuCommandsSetAccountClick);
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

    if (!engine::IsAdministrator()) mnuCommandsSetAccount.SetEnabled(false);

    FitClientHeight();

    RefreshModeDisplay();
}

void TdlgGatewiseMain::ApplyRunTimeLayout() {
    TSubstForm::ApplyRunTimeLayout();
    LoadModePictures();
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
    settings::TPromptMode mode = options.GetCurrentMode();
    std::wstring active = shell::ResString(IDS_CURRENTLY_ACTIVE);
    lblSecureTitle.SetCaption(shell::ResString(IDS_SECURE_MODE) + (mode == settings::pmSecure ? active : L""));
    lblRelaxedTitle.SetCaption(shell::ResString(IDS_RELAXED_MODE) + (mode == settings::pmRelaxed ? active : L""));
    const std::wstring line = mode == settings::pmCustom ? CustomModeLine(ReadPromptStates(options), CustomModeTexts()) : L"";
    lblCustomMode.SetCaption(line);
    lblCustomMode.SetVisible(!line.empty());
    PlaceCustomModeLine();
}

void TdlgGatewiseMain::PlaceCustomModeLine() {
    const int room = lblCustomMode.Visible() ? lblCustomMode.Height() + toolkit::ScaleToDpi(8, PixelsPerInch()) : 0;
    const int shift = room - customLineRoom_;
    if (shift == 0) return;
    customLineRoom_ = room;
    for (toolkit::TControl* control : pnlConsole.Controls())
        if (control != &lblCustomMode && control->Top() >= lblCustomMode.Top()) control->SetTop(control->Top() + shift);
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
    if (CanEnterRelaxedMode()) SwitchMode(settings::pmRelaxed);
}

bool TdlgGatewiseMain::CanEnterRelaxedMode() {
    settings::GlobalOptions().AdoptStoredChanges();
    if (!settings::GlobalOptions().AutochangeStartup()) return true;
    const engine::AutologonAccount account = engine::GetAutologonAccount();
    if (account.user.empty() || !account.hasPassword) return shell::Execute<TdlgAutologon>(this);
    return true;
}

void TdlgGatewiseMain::SwitchMode(settings::TPromptMode mode) {
    std::wstring failure;
    // The window goes on without the event when it cannot be written: the
    // switch is done, and the event log is for administrators to read.
    audit::Warnings ignored;
    try {
        audit::SwitchMode(settings::GlobalOptions(), mode, audit::orWindow, ignored);
    } catch (const settings::ESwitchFailed& error) {
        failure = os::FromUtf8(error.what());
    }
    ShowModeNotification(mode, failure);
    RefreshModeDisplay();
}

void TdlgGatewiseMain::ShowModeNotification(settings::TPromptMode mode, const std::wstring& errorText) {
    const std::wstring message = os::Format(shell::ResString(IDS_MODE_CHANGED_FORMAT), ModeName(mode));
    const bool changed = errorText.empty();
    const std::wstring caption = shell::ResString(changed ? IDS_MODE_CHANGED : IDS_MODE_NOT_CHANGED);
    PlayExclamation();
    if (!widgets::BalloonTipsEnabled()) {
        // The message dialog shows markup, which folds a carriage return into a space.
        if (changed) ShowInfoEx(this, PlainTextMarkup(message), caption, HelpContext);
        else ShowErrorEx(this, PlainTextMarkup(errorText), caption, HelpContext);
        return;
    }
    dlgBalloon.SetTitle(caption);
    dlgBalloon.SetText(changed ? message : errorText);
    dlgBalloon.BalloonIcon = changed ? widgets::bInfo : widgets::bError;
    dlgBalloon.BackGroundColor = changed ? toolkit::clInfoBk : toolkit::RGBColor(255, 204, 255);
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

void TdlgGatewiseMain::mnuCommandsUsersManagementClick(toolkit::TComponent*) {
    widgets::RunSystemProgram(shell::ResString(IDS_USERS_MANAGEMENT_COMMAND));
}

void TdlgGatewiseMain::mnuCommandsCheckSettingsClick(toolkit::TComponent* sender) {
    HideBalloon(sender);
    std::vector<diagnostics::CheckResult> results;
    {
        toolkit::THourGlass busy;
        results = diagnostics::RunDiagnostics(settings::GlobalOptions());
    }
    const TCheckReportTexts texts{shell::ResString(IDS_CHECK_PROBLEMS), shell::ResString(IDS_CHECK_WARNINGS),
                                  shell::ResString(IDS_CHECK_FINE), shell::ResString(IDS_CHECK_FIX)};
    const std::wstring report = CheckReportMarkup(results, texts);
    const std::wstring caption = shell::ResString(IDS_CHECK_CAPTION);
    if (diagnostics::HasProblem(results)) ShowErrorEx(this, report, caption, shell::IDH_CheckSettings);
    else ShowInfoEx(this, report, caption, shell::IDH_CheckSettings);
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
