// The options dialog driven through its controls on a simulated machine; what
// it stores is read back from the simulated registry.
#include "FormTest.h"
#include "ModalScript.h"
#include "SimMachineWithRealGdi.h"
#include "settings/Options.h"
#include "shell/Substitution.h"
#include "ui/AutologonDlg.h"
#include "ui/InfoDlgEx.h"
#include "ui/OptionsDlg.h"

namespace {

using namespace toolkit;
using ui::TdlgOptions;

constexpr const wchar_t* kOptionsKey = L"SOFTWARE\\Vantrel\\Gatewise";

class OptionsDlg : public FormTest {
protected:
    void SetUp() override {
        FormTest::SetUp();
        shell::CreateSubstitutionList();
        machine.Key(HKEY_CURRENT_USER, kOptionsKey);
    }
    void TearDown() override {
        settings::FreeGlobalOptions();
        shell::FreeSubstitutionList();
        FormTest::TearDown();
    }
    // Startup, standby, screen saver, verification, all power profiles, forgetting the password.
    std::vector<std::wstring> Stored() const {
        std::vector<std::wstring> values;
        for (const wchar_t* name : {L"AutochangeStartup", L"AutochangeStandby", L"AutochangeScreenSaver",
                                    L"VerifyPassword", L"ModifyAllPowerProfiles", L"ForgetPasswordInSecureMode"})
            values.push_back(machine.String(HKEY_CURRENT_USER, kOptionsKey, name).value_or(L"(none)"));
        return values;
    }

    SimMachineWithRealGdi machine;
    os::ScopedMachine scope{machine};
};

TEST_F(OptionsDlg, OnePromptMustStayEnabledAndCancelWritesNothing) {
    settings::CreateGlobalOptions(kOptionsKey);
    ModalScript script;
    script.Then<TdlgOptions>([](TdlgOptions& dialog) {
        const TButton& ok = dialog.Get<TButton>(L"btnOk");
        for (const wchar_t* name : {L"chkStartup", L"chkStandby", L"chkScreenSaver"}) {
            EXPECT_TRUE(ok.Enabled()) << "before " << name;
            dialog.Get<TCheckBox>(name).SetChecked(false);
        }
        EXPECT_FALSE(ok.Enabled());
        EXPECT_TRUE(dialog.Get<TLabel>(L"lblMismatch").Visible());
        dialog.Get<TCheckBox>(L"chkModifyAllPowerProfiles").SetChecked(true);
        EXPECT_FALSE(ok.Enabled()) << "the power-scheme option does not count";
        dialog.Get<TCheckBox>(L"chkStandby").SetChecked(true);
        EXPECT_TRUE(ok.Enabled());
        EXPECT_FALSE(dialog.Get<TLabel>(L"lblMismatch").Visible());
        Click(dialog.Get<TButton>(L"btnCancel"));
    });
    EXPECT_EQ(mrCancel, shell::ExecuteModalOrRaise<TdlgOptions>(nullptr));
    EXPECT_EQ((std::vector<std::wstring>{L"True", L"True", L"True", L"True", L"False", L"False"}), Stored());
    EXPECT_FALSE(settings::GlobalOptions().ModifyAllPowerProfiles());
}

// Loading changes no box, so the warning waits for the user's first change.
TEST_F(OptionsDlg, OpenedWithEveryPromptOffItWarnsOnlyOnceABoxChanges) {
    for (const wchar_t* name : {L"AutochangeStartup", L"AutochangeStandby", L"AutochangeScreenSaver"})
        machine.SetString(HKEY_CURRENT_USER, kOptionsKey, name, L"False");
    settings::CreateGlobalOptions(kOptionsKey);
    ModalScript script;
    script.Then<TdlgOptions>([](TdlgOptions& dialog) {
        const TButton& ok = dialog.Get<TButton>(L"btnOk");
        const TLabel& mismatch = dialog.Get<TLabel>(L"lblMismatch");
        for (const wchar_t* name : {L"chkStartup", L"chkStandby", L"chkScreenSaver"})
            EXPECT_FALSE(dialog.Get<TCheckBox>(name).Checked()) << name;
        EXPECT_TRUE(ok.Enabled());
        EXPECT_FALSE(mismatch.Visible());
        dialog.Get<TCheckBox>(L"chkScreenSaver").SetChecked(true);
        dialog.Get<TCheckBox>(L"chkScreenSaver").SetChecked(false);
        EXPECT_FALSE(ok.Enabled());
        EXPECT_TRUE(mismatch.Visible());
        Click(dialog.Get<TButton>(L"btnCancel"));
    });
    EXPECT_EQ(mrCancel, shell::ExecuteModalOrRaise<TdlgOptions>(nullptr));
}

TEST_F(OptionsDlg, OkStoresEveryBoxAndTheAccountDialogOpensOverIt) {
    machine.SetString(HKEY_CURRENT_USER, kOptionsKey, L"AutochangeScreenSaver", L"False");
    settings::CreateGlobalOptions(kOptionsKey);
    int helpTopic = 0;
    Application().OnHelpContext = [&helpTopic](int context) { helpTopic = context; };
    TdlgOptions* options = nullptr;
    ModalScript script;
    script
        .Then<TdlgOptions>([&options](TdlgOptions& dialog) {
            options = &dialog;
            EXPECT_FALSE(dialog.Get<TCheckBox>(L"chkScreenSaver").Checked());
            Click(dialog.Get<TCheckBox>(L"chkStandby"));
            Click(dialog.Get<TCheckBox>(L"chkModifyAllPowerProfiles"));
            Click(dialog.Get<TCheckBox>(L"chkForgetPassword"));
            Click(dialog.Get<TButton>(L"btnHelp"));
            Click(dialog.Get<TButton>(L"btnAutologon"));
        })
        .Then<ui::TdlgAutologon>([&options](ui::TdlgAutologon& account) {
            EXPECT_EQ(options, account.Owner());
            Click(account.Get<TButton>(L"btnCancel"));
        })
        .Then<TdlgOptions>([](TdlgOptions& dialog) { Click(dialog.Get<TButton>(L"btnOk")); });
    EXPECT_EQ(mrOk, shell::ExecuteModalOrRaise<TdlgOptions>(nullptr));
    Application().OnHelpContext = nullptr;
    EXPECT_EQ(10010, helpTopic);
    EXPECT_EQ((std::vector<std::wstring>{L"True", L"False", L"False", L"True", L"True", L"True"}), Stored());
    EXPECT_TRUE(errors.empty());
}

// OK saves only what its user changed: the start-up and resume options, which
// an elevated gatewisecmd of the same user stored meanwhile, are left as they are.
TEST_F(OptionsDlg, WithoutAdministratorRightsOkLeavesTheOptionsItCannotChange) {
    machine.processGroups = {{os::sim::UsersSid(), SE_GROUP_ENABLED}};
    machine.majorVersion = 5;
    settings::CreateGlobalOptions(kOptionsKey);
    machine.SetString(HKEY_CURRENT_USER, kOptionsKey, L"AutochangeStartup", L"True");
    machine.SetString(HKEY_CURRENT_USER, kOptionsKey, L"AutochangeStandby", L"True");
    machine.SetString(HKEY_CURRENT_USER, kOptionsKey, L"VerifyPassword", L"False");
    ModalScript script;
    script.Then<TdlgOptions>([](TdlgOptions& dialog) {
        for (const wchar_t* name : {L"chkStartup", L"chkStandby"}) {
            EXPECT_FALSE(dialog.Get<TCheckBox>(name).Checked()) << name;
            EXPECT_FALSE(dialog.Get<TCheckBox>(name).Enabled()) << name;
        }
        EXPECT_FALSE(dialog.Get<TButton>(L"btnAutologon").Enabled());
        EXPECT_FALSE(dialog.Get<TCheckBox>(L"chkForgetPassword").Enabled()) << "the password is the machine's";
        EXPECT_FALSE(dialog.Get<TCheckBox>(L"chkModifyAllPowerProfiles").Visible()) << "Windows XP";
        // "Don't show this prompt again" is undone here.
        TCheckBox& verify = dialog.Get<TCheckBox>(L"chkVerifyPassword");
        EXPECT_FALSE(verify.Checked());
        EXPECT_TRUE(verify.Enabled());
        Click(verify);
        Click(dialog.Get<TButton>(L"btnOk"));
    });
    EXPECT_EQ(mrOk, shell::ExecuteModalOrRaise<TdlgOptions>(nullptr));
    EXPECT_EQ((std::vector<std::wstring>{L"True", L"True", L"True", L"True", L"False", L"False"}), Stored());
}

TEST_F(OptionsDlg, OpensWithTheOptionsStoredMeanwhileAndSaysOnceThatOkCouldNotStoreThem) {
    settings::CreateGlobalOptions(kOptionsKey);
    machine.SetString(HKEY_CURRENT_USER, kOptionsKey, L"ModifyAllPowerProfiles", L"True");  // by another process
    machine.Key(HKEY_CURRENT_USER, kOptionsKey).readOnly = true;
    std::wstring told;
    ModalScript script;
    script
        .Then<TdlgOptions>([](TdlgOptions& dialog) {
            EXPECT_TRUE(dialog.Get<TCheckBox>(L"chkModifyAllPowerProfiles").Checked());
            Click(dialog.Get<TCheckBox>(L"chkScreenSaver"));
            Click(dialog.Get<TButton>(L"btnOk"));
        })
        .Then<ui::TdlgKVInfoEx>([&told](ui::TdlgKVInfoEx& message) {
            told = message.Caption() + L": " + message.Get<TControl>(L"lblText").Caption();
            Click(message.Get<TButton>(L"btnOk"));
        })
        .Then<TdlgOptions>([](TdlgOptions& dialog) { Click(dialog.Get<TButton>(L"btnOk")); });
    EXPECT_EQ(mrOk, shell::ExecuteModalOrRaise<TdlgOptions>(nullptr));
    EXPECT_EQ(mrOk, shell::ExecuteModalOrRaise<TdlgOptions>(nullptr)) << "told once only";
    EXPECT_EQ(0u, told.find(L"Options not saved: The options could not be saved in the registry "
                            L"(HKEY_CURRENT_USER\\SOFTWARE\\Vantrel\\Gatewise)"))
        << told;
    EXPECT_NE(std::wstring::npos, told.find(L"They apply until Gatewise is closed, and then they are lost."));
    EXPECT_FALSE(settings::GlobalOptions().AutochangeScreenSaver()) << "in memory all the same";
    EXPECT_EQ(L"True", Stored()[2]);
}

}  // namespace

namespace {

TEST_F(OptionsDlg, OptionsThatAPolicySetsAreFixedAndSaidToBe) {
    machine.SetDword(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Policies\\Vantrel\\Gatewise", L"AutochangeScreenSaver", 0);
    machine.SetDword(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Policies\\Vantrel\\Gatewise", L"ModifyAllPowerProfiles", 1);
    settings::CreateGlobalOptions(kOptionsKey);
    ModalScript script;
    script.Then<TdlgOptions>([](TdlgOptions& dialog) {
        EXPECT_FALSE(dialog.Get<TCheckBox>(L"chkScreenSaver").Checked());
        EXPECT_FALSE(dialog.Get<TCheckBox>(L"chkScreenSaver").Enabled());
        EXPECT_TRUE(dialog.Get<TCheckBox>(L"chkModifyAllPowerProfiles").Checked());
        EXPECT_FALSE(dialog.Get<TCheckBox>(L"chkModifyAllPowerProfiles").Enabled());
        EXPECT_TRUE(dialog.Get<TCheckBox>(L"chkStartup").Enabled());
        EXPECT_TRUE(dialog.Get<TLabel>(L"lblSetByPolicy").Visible());
        EXPECT_EQ(dialog.Get<TLabel>(L"lblSetByPolicy").Caption(), L"Set by your organization: the options dimmed above.");
        Click(dialog.Get<TCheckBox>(L"chkStartup"));
        Click(dialog.Get<TButton>(L"btnOk"));
    });
    EXPECT_EQ(mrOk, shell::ExecuteModalOrRaise<TdlgOptions>(nullptr));
    // The user's own values stay as they were; only the box they changed is saved.
    EXPECT_EQ((std::vector<std::wstring>{L"False", L"True", L"True", L"True", L"False", L"False"}), Stored());
}

}  // namespace
