#pragma once
// The main window: the two modes with their padlocks, titles and
// explanations, the advertisement box, the buttons and the menu.

#include "shell/SubstFrm.h"
#include "toolkit/ExtCtrls.h"
#include "toolkit/Handles.h"
#include "toolkit/Label.h"
#include "toolkit/Menu.h"
#include "toolkit/Picture.h"
#include "toolkit/StdCtrls.h"
#include "widgets/KXLabel.h"

#include <array>
#include <cstdint>
#include <string>

namespace ui {

// The unit's start-up work: loads the advertisement texts and creates the
// substitution table. FinalizeMainWindowUnit undoes both.
void InitializeMainWindowUnit();
void FinalizeMainWindowUnit();

// One advertised product.
struct TAdvertisement {
    std::wstring name;
    std::wstring tagline;
    std::wstring description;  // markup: part 1 followed by part 2
    std::wstring page;
};
// The four products (empty before InitializeMainWindowUnit).
const std::array<TAdvertisement, 4>& Advertisements();
// The page opened for product `index`, campaign query included; any index
// outside 0..3 gives the maker's page.
std::wstring AdvertisementAddress(int index);

class TdlgGatewiseMain : public shell::TSubstForm {
public:
    explicit TdlgGatewiseMain(toolkit::TComponent* owner);
    // Frees the four pictures, which the images stop showing first.
    ~TdlgGatewiseMain() override;

    void RefreshModeDisplay();
    std::uint8_t AdvertIndex() const { return advertIndex_; }

    void SubstFormCreate(toolkit::TComponent* sender);
    void ButtonMouseEnter(toolkit::TComponent* sender);
    void ButtonMouseLeave(toolkit::TComponent* sender);
    void mnuCommandsUsersManagementClick(toolkit::TComponent* sender);
    void mnuCommandsExitClick(toolkit::TComponent* sender);
    void mnuHelpHelpClick(toolkit::TComponent* sender);
    void mnuHelpWebSiteClick(toolkit::TComponent* sender);
    void mnuHelpTechnicalSupportClick(toolkit::TComponent* sender);
    void mnuHelpAboutClick(toolkit::TComponent* sender);
    void lblAdvertisementTitleClick(toolkit::TComponent* sender);

protected:
    // The padlocks at the window's resolution, and the client height that
    // leaves as much room below the buttons as above them.
    void ApplyRunTimeLayout() override;

private:
    enum PictureIndex { kClose, kOpen, kCloseHot, kOpenHot };

    void ShowAdvertisement();
    toolkit::TImage* ImageForControl(toolkit::TComponent* sender);
    toolkit::TLabel* LabelForControl(toolkit::TComponent* sender);
    void ShowModePicture(toolkit::TImage* image, bool highlighted);
    void LoadModePictures();
    void FitClientHeight();

    toolkit::TPanel& pnlConsole;
    toolkit::TImage& imgSecure;
    toolkit::TLabel& lblSecureTitle;
    toolkit::TImage& imgRelaxed;
    toolkit::TLabel& lblRelaxedTitle;
    toolkit::TImage& imgAdvertisement;
    toolkit::TLabel& lblAdvertisementTitle;
    widgets::TKXLabel& lblAdvertisement;
    toolkit::TButton& btnExit;
    toolkit::TMenuItem& mnuCommandsSetAccount;
    toolkit::TMenuItem& mnuHelpAbout;

    std::array<toolkit::Picture, 4> pictures_;
    std::uint8_t advertIndex_ = 0;
    toolkit::KernelHandle mutex_;
};

}  // namespace ui
