#include "ui/OptionsDlg.h"

#include "engine/ChangeLock.h"
#include "engine/NTSecurity.h"
#include "engine/WindowsVersion.h"
#include "resources/StringIds.h"
#include "settings/Options.h"
#include "shell/ResStrings.h"
#include "ui/AutologonDlg.h"
#include "ui/InfoDlgEx.h"
#include "ui/InfoDlgExCore.h"
#include "ui/OptionsDlgCore.h"
#include "widgets/KXLabel.h"

#include <utility>

namespace ui {
namespace {

std::string OptionsLayout() {
    widgets::RegisterKXLabel();
    return toolkit::LayoutResourceText(L"LAYOUT_OPTIONS");
}

}  // namespace

TdlgOptions::TdlgOptions(toolkit::TComponent* owner)
    : TSubstForm(owner, OptionsLayout(), "LAYOUT_OPTIONS"),
      chkStartup(Get<toolkit::TCheckBox>(L"chkStartup")),
      chkStandby(Get<toolkit::TCheckBox>(L"chkStandby")),
      chkScreenSaver(Get<toolkit::TCheckBox>(L"chkScreenSaver")),
      chkModifyAllPowerProfiles(Get<toolkit::TCheckBox>(L"chkModifyAllPowerProfiles")),
      chkForgetPassword(Get<toolkit::TCheckBox>(L"chkForgetPassword")),
      chkVerifyPassword(Get<toolkit::TCheckBox>(L"chkVerifyPassword")),
      lblMismatch(Get<toolkit::TLabel>(L"lblMismatch")),
      lblSetByPolicy(Get<toolkit::TLabel>(L"lblSetByPolicy")),
      btnAutologon(Get<toolkit::TButton>(L"btnAutologon")),
      btnOk(Get<toolkit::TButton>(L"btnOk")) {
    RegisterHandler("FormCreate", &TdlgOptions::FormCreate);
    RegisterHandler("CheckBoxClick", &TdlgOptions::CheckBoxClick);
    RegisterHandler("btnOkClick", &TdlgOptions::btnOkClick);
    RegisterHandler("btnAutologonClick", &TdlgOptions::btnAutologonClick);
    RegisterHandler("btnHelpClick", &TdlgOptions::btnHelpClick);
}

void TdlgOptions::FormCreate(toolkit::TComponent*) {
    settings::TOptions& options = settings::GlobalOptions();
    options.AdoptStoredChanges();
    chkStartup.SetChecked(options.AutochangeStartup());
    chkStandby.SetChecked(options.AutochangeStandby());
    chkScreenSaver.SetChecked(options.AutochangeScreenSaver());
    chkModifyAllPowerProfiles.SetChecked(options.ModifyAllPowerProfiles());
    chkModifyAllPowerProfiles.SetVisible(engine::IsWindows6OrLater());
    chkForgetPassword.SetChecked(options.ForgetPasswordInSecureMode());
    chkVerifyPassword.SetChecked(options.VerifyPassword());
    shown_ = Boxes();
    if (!engine::IsAdministrator()) {
        chkStartup.SetEnabled(false);
        chkStandby.SetEnabled(false);
        chkForgetPassword.SetEnabled(false);
        btnAutologon.SetEnabled(false);
    }
    FixPolicyOptions(options);
}

void TdlgOptions::FixPolicyOptions(const settings::TOptions& options) {
    bool any = false;
    for (const auto& [name, box] : {std::pair<const char*, toolkit::TCheckBox*>{"AutochangeStartup", &chkStartup},
                                    {"AutochangeStandby", &chkStandby},
                                    {"AutochangeScreenSaver", &chkScreenSaver},
                                    {"ModifyAllPowerProfiles", &chkModifyAllPowerProfiles},
                                    {"ForgetPasswordInSecureMode", &chkForgetPassword}}) {
        if (!options.SetByPolicy(name)) continue;
        box->SetEnabled(false);
        any = any || box->Visible();
    }
    lblSetByPolicy.SetVisible(any);
}

void TdlgOptions::CheckBoxClick(toolkit::TComponent*) {
    const bool any = AnyPromptEnabled(chkStartup.Checked(), chkStandby.Checked(), chkScreenSaver.Checked());
    lblMismatch.SetVisible(!any);
    btnOk.SetEnabled(any);
}

TOptionBoxes TdlgOptions::Boxes() const {
    return {chkStartup.Checked(), chkStandby.Checked(), chkScreenSaver.Checked(), chkModifyAllPowerProfiles.Checked(),
            chkForgetPassword.Checked(), chkVerifyPassword.Checked()};
}

void TdlgOptions::btnOkClick(toolkit::TComponent*) {
    settings::TOptions& options = settings::GlobalOptions();
    const std::wstring notSaved = shell::ResString(IDS_OPTIONS_NOT_STORED_CAPTION);
    try {
        if (!SaveOptionChanges(options, ChangedOptions(shown_, Boxes()))) {
            ShowErrorEx(this, shell::ResString(IDS_OPTIONS_NONE_ENABLED), notSaved, HelpContext);
            return;
        }
    } catch (const engine::EChangeInProgress& busy) {
        ShowErrorEx(this, PlainTextMarkup(os::FromUtf8(busy.what())), notSaved, HelpContext);
        return;
    }
    if (options.TakeNotStoredNotice())
        ShowErrorEx(this, os::Format(shell::ResString(IDS_OPTIONS_NOT_STORED), PlainTextMarkup(options.KeyPath())),
                    notSaved, HelpContext);
    SetModalResult(toolkit::mrOk);
}

void TdlgOptions::btnAutologonClick(toolkit::TComponent*) { shell::Execute<TdlgAutologon>(this); }

void TdlgOptions::btnHelpClick(toolkit::TComponent*) { toolkit::Application().HelpContext(HelpContext); }

}  // namespace ui
