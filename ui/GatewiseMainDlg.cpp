#include "ui/GatewiseMainDlg.h"

#include "engine/NTSecurity.h"
#include "resources/StringIds.h"
#include "settings/Options.h"
#include "shell/Gatewise_IDH.h"
#include "shell/HelpViewer.h"
#include "shell/ResStrings.h"
#include "shell/Substitution.h"
#include "toolkit/Application.h"
#include "ui/AboutDlg.h"
#include "ui/InfoDlgEx.h"
#include "ui/InfoDlgExCore.h"
#include "widgets/GuiUtilities.h"

#include <chrono>
#include <random>

namespace ui {
namespace {

std::array<TAdvertisement, 4>& AdvertisementTable() {
    static std::array<TAdvertisement, 4> table;
    return table;
}

const std::array<const wchar_t*, 4> kAdvertisementLogos{L"LOGO_FG", L"LOGO_SL", L"LOGO_LG", L"LOGO_WW"};

std::string MainLayout() { return toolkit::LayoutResourceText(L"LAYOUT_MAIN"); }

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
      imgSecure(Get<toolkit::TImage>(L"imgSecure")),
      lblSecureTitle(Get<toolkit::TLabel>(L"lblSecureTitle")),
      imgRelaxed(Get<toolkit::TImage>(L"imgRelaxed")),
      lblRelaxedTitle(Get<toolkit::TLabel>(L"lblRelaxedTitle")),
      imgAdvertisement(Get<toolkit::TImage>(L"imgAdvertisement")),
      lblAdvertisementTitle(Get<toolkit::TLabel>(L"lblAdvertisementTitle")),
      lblAdvertisement(Get<widgets::TKXLabel>(L"lblAdvertisement")),
      btnExit(Get<toolkit::TButton>(L"btnExit")),
      mnuCommandsSetAccount(Get<toolkit::TMenuItem>(L"mnuCommandsSetAccount")),
      mnuHelpAbout(Get<toolkit::TMenuItem>(L"mnuHelpAbout")) {
    RegisterHandler("SubstFormCreate", &TdlgGatewiseMain::SubstFormCreate);
    RegisterHandler("ButtonMouseEnter", &TdlgGatewiseMain::ButtonMouseEnter);
    RegisterHandler("ButtonMouseLeave", &TdlgGatewiseMain::ButtonMouseLeave);
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
    settings::TPromptMode mode = settings::GlobalOptions().GetCurrentMode();
    std::wstring active = shell::ResString(IDS_CURRENTLY_ACTIVE);
    lblSecureTitle.SetCaption(shell::ResString(IDS_SECURE_MODE) + (mode == settings::pmSecure ? active : L""));
    lblRelaxedTitle.SetCaption(shell::ResString(IDS_RELAXED_MODE) + (mode == settings::pmRelaxed ? active : L""));
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

void TdlgGatewiseMain::mnuCommandsUsersManagementClick(toolkit::TComponent*) {
    widgets::RunSystemProgram(shell::ResString(IDS_USERS_MANAGEMENT_COMMAND));
}

void TdlgGatewiseMain::mnuCommandsExitClick(toolkit::TComponent*) { toolkit::Application().Terminate(); }

void TdlgGatewiseMain::mnuHelpHelpClick(toolkit::TComponent*) { toolkit::Application().HelpContents(); }

void TdlgGatewiseMain::mnuHelpWebSiteClick(toolkit::TComponent*) {
    widgets::OpenURL(shell::ResString(IDS_PRODUCT_PAGE), Handle());
}

void TdlgGatewiseMain::mnuHelpTechnicalSupportClick(toolkit::TComponent*) {
    widgets::OpenURL(shell::ResString(IDS_SUPPORT_PAGE), Handle());
}

void TdlgGatewiseMain::mnuHelpAboutClick(toolkit::TComponent*) { shell::Execute<TdlgAbout>(this); }

void TdlgGatewiseMain::lblAdvertisementTitleClick(toolkit::TComponent* sender) {
    int index = advertIndex_;
    if (auto* item = dynamic_cast<toolkit::TMenuItem*>(sender)) index = item->Tag - 1;
    widgets::OpenURL(AdvertisementAddress(index), Handle());
}

}  // namespace ui
