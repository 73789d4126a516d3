#pragma once
// The main window: the two modes with their padlocks, titles and
// explanations, the advertisement box, the buttons and the menu.

#include "settings/Options.h"
#include "shell/SubstFrm.h"
#include "switching/Undo.h"
#include "toolkit/ChangeWatch.h"
#include "toolkit/ExtCtrls.h"
#include "toolkit/Handles.h"
#include "toolkit/Label.h"
#include "toolkit/Menu.h"
#include "toolkit/Picture.h"
#include "toolkit/StdCtrls.h"
#include "ui/RefreshSchedule.h"
#include "widgets/BalloonHelp.h"
#include "widgets/KXLabel.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

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

    // Shows the machine's mode: marks the active mode's title " (currently
    // active)", or in Custom mode neither, and then shows the line under the
    // header: in Custom Mode which prompts ask; in Secure or Relaxed Mode, from
    // the first paint on, what keeps that mode from taking effect; when the
    // mode cannot be read, neither title is marked and the line says why
    // (and a message says it once). The undo command is enabled while a
    // switch is recorded. Every refresh of the mode comes here: at
    // creation, after the window's own commands, and shortly after others
    // changed the settings, the options or the record (the keys where they
    // live are watched while the window is open, and the power and setting
    // messages that Windows sends count too). Where a watch cannot be set up,
    // the window also refreshes whenever it is activated.
    void RefreshModeDisplay();
    std::uint8_t AdvertIndex() const { return advertIndex_; }

    void SubstFormCreate(toolkit::TComponent* sender);
    void ButtonMouseEnter(toolkit::TComponent* sender);
    void ButtonMouseLeave(toolkit::TComponent* sender);
    // Also the balloon timer's tick.
    void HideBalloon(toolkit::TComponent* sender);
    // The links of the explanations and of the advertisement: "advertisement",
    // "secure" and "relaxed", compared exactly.
    void LinkClick(toolkit::TComponent* sender, widgets::THTMLRenderItem& item);
    // Asks for the password first while VerifyPassword is on (as stored now).
    // A verification dialog that cannot be shown raises its error and nothing
    // changes.
    void mnuCommandsSecureModeClick(toolkit::TComponent* sender);
    // Asks for the auto-logon account first when the start-up setting needs
    // one, and before that says when password-less sign-in would stop it.
    void mnuCommandsRelaxedModeClick(toolkit::TComponent* sender);
    // Relaxed mode with automatic logon for the next start only
    // (AutoLogonCount 1); an administrator's command, as it covers start-up.
    void mnuCommandsRelaxedOnceClick(toolkit::TComponent* sender);
    // Undoes the last switch; when the settings changed since, asks first.
    void mnuCommandsUndoClick(toolkit::TComponent* sender);
    void mnuCommandsOptionsClick(toolkit::TComponent* sender);
    void mnuCommandsSetAccountClick(toolkit::TComponent* sender);
    // Asks first, then removes the auto-logon account and its password and
    // turns automatic logon off, as a switch that undo knows; administrators only.
    void mnuCommandsRemoveAccountClick(toolkit::TComponent* sender);
    void mnuCommandsUsersManagementClick(toolkit::TComponent* sender);
    // Shows the findings of the diagnostics in the check report.
    void mnuCommandsCheckSettingsClick(toolkit::TComponent* sender);
    void mnuCommandsExitClick(toolkit::TComponent* sender);
    void mnuHelpHelpClick(toolkit::TComponent* sender);
    void mnuHelpWebSiteClick(toolkit::TComponent* sender);
    void mnuHelpTechnicalSupportClick(toolkit::TComponent* sender);
    void mnuHelpAboutClick(toolkit::TComponent* sender);
    void lblAdvertisementTitleClick(toolkit::TComponent* sender);
    // A refresh that changes made by others asked for is due.
    void tmrRefreshTimer(toolkit::TComponent* sender);

    LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam) override;

protected:
    struct TWatchedKey {
        HKEY root;
        std::wstring path;
        bool subtree;
    };
    // The registry keys where the settings, the options and the record of
    // the last switch are stored.
    virtual std::vector<TWatchedKey> WatchedKeys() const;

    // The padlocks at the window's resolution, and the client height that
    // leaves as much room below the buttons as above them.
    void ApplyRunTimeLayout() override;
    // Opens a web page in the user's browser; whether it opened is not used.
    virtual void OpenPage(const std::wstring& address);

private:
    enum PictureIndex { kClose, kOpen, kCloseHot, kOpenHot };

    void ShowAdvertisement();
    // Switches the machine with the options as stored now, under the change
    // lock, then confirms, says that the PC was in that mode already, or says
    // why nothing (or what) was changed, and refreshes. `once`: relaxed mode
    // for the next start only.
    void SwitchMode(settings::TPromptMode mode, bool once = false);
    // The exclamation sound, then the balloon at the mode's title or, with
    // balloon tips off, the message dialog. An empty error text confirms the
    // switch, followed by `note`; any other says why the mode was not changed.
    void ShowModeNotification(settings::TPromptMode mode, const std::wstring& errorText,
                              const std::wstring& note = {}, bool once = false);
    void Notify(settings::TPromptMode mode, const std::wstring& caption, const std::wstring& text, bool error);
    // Asks whether to undo a switch after which the settings changed.
    bool AskUndoAnyway(const switching::TUndoOutcome& outcome);
    // `named`: the switch that the question named, for a forced undo.
    void ShowUndoOutcome(const switching::TUndoOutcome& outcome, const switching::TLastSwitch* named);
    void WatchSettings();
    // A change notification: the refresh follows once the burst is over.
    void SettingsChanged();
    void RefreshForOutsideChanges();
    // When Windows requires Windows Hello sign-in for Microsoft accounts and
    // the account that relaxed mode would log on is one, says so and offers
    // to turn that requirement off first. False when the user cancels or the
    // requirement cannot be turned off.
    bool PasswordLessSignInAllowsRelaxedMode();
    // True when relaxed mode may be switched on: the start-up setting is left
    // alone, an account with its password is stored, or the user stores one now.
    bool CanEnterRelaxedMode();
    toolkit::TImage* ImageForControl(toolkit::TComponent* sender);
    toolkit::TLabel* LabelForControl(toolkit::TComponent* sender);
    void ShowModePicture(toolkit::TImage* image, bool highlighted);
    void LoadModePictures();
    void FitClientHeight();
    // The administrator's policy: Relaxed Mode turned off (its link, title,
    // padlock and commands do nothing, and a line says so), and the other
    // products left out (the box and its menu; the window shrinks by the box).
    void ApplyPolicies();
    void LeaveOutAdditionalProducts();
    // The rows below the header move down to make room for the line under
    // the header while it shows, and back while it does not; the window grows as much.
    void PlaceCustomModeLine();
    void ShowUnreadableOnce();

    toolkit::TPanel& pnlConsole;
    toolkit::TLabel& lblModeLine;
    toolkit::TImage& imgSecure;
    toolkit::TLabel& lblSecureTitle;
    toolkit::TImage& imgRelaxed;
    toolkit::TLabel& lblRelaxedTitle;
    widgets::TKXLabel& lblRelaxed;
    toolkit::TShape& shpAdvertisement;
    toolkit::TLabel& lblAdvert;
    toolkit::TImage& imgAdvertisement;
    toolkit::TLabel& lblAdvertisementTitle;
    widgets::TKXLabel& lblAdvertisement;
    toolkit::TButton& btnExit;
    widgets::TBalloonHelp& dlgBalloon;
    toolkit::TTimer& tmrBalloon;
    toolkit::TTimer& tmrRefresh;
    toolkit::TMenuItem& mnuCommandsRelaxedMode;
    toolkit::TMenuItem& mnuAdditionalProducts;
    toolkit::TMenuItem& mnuCommandsUndo;
    toolkit::TMenuItem& mnuCommandsSetAccount;
    toolkit::TMenuItem& mnuCommandsRemoveAccount;
    toolkit::TMenuItem& mnuCommandsRelaxedOnce;
    toolkit::TMenuItem& mnuHelpAbout;

    std::array<toolkit::Picture, 4> pictures_;
    std::uint8_t advertIndex_ = 0;
    int customLineRoom_ = 0;  // pixels the rows moved down for the line under the header
    bool painted_ = false;
    std::wstring overriddenLine_;   // what keeps the mode shown from taking effect
    std::wstring unreadable_;       // why the mode could not be read
    std::wstring unreadableShown_;  // the last such reason shown in a message
    toolkit::KernelHandle mutex_;
    TRefreshSchedule refreshSchedule_;
    bool refreshingForOthers_ = false;
    std::vector<std::unique_ptr<toolkit::TRegistryWatch>> registryWatches_;
    std::array<toolkit::TPowerSettingWatch, 3> powerWatches_;
};

}  // namespace ui
