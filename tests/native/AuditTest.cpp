// Every change is one Application event under the source "Gatewise": what
// happened, who, with which program, what it touched and how it ended, never a
// password; and a failure to log never stops the change.
#include "audit/Audit.h"
#include "engine/AccountNames.h"
#include "MachineTest.h"

using settings::pmRelaxed;

class AuditTest : public MachineTest {
protected:
    static constexpr const WCHAR* kOptionsKey = WSTR("SOFTWARE\\Vantrel\\Gatewise");

    void SetUp() override {
        options = settings::Create<settings::TOptions>(false, kOptionsKey);
        options->SetSaveOnDestroy(false);
    }

    // The one event written since the test began, its texts in UTF-8.
    std::vector<std::string> OnlyEvent(DWORD id, WORD type) {
        EXPECT_EQ(machine.eventLog.size(), 1u);
        if (machine.eventLog.empty()) return {};
        const auto event = machine.eventLog.back();
        machine.eventLog.clear();
        EXPECT_EQ(event.source, WSTR("Gatewise"));
        EXPECT_EQ(event.id, id);
        EXPECT_EQ(event.type, type);
        std::vector<std::string> texts;
        for (const os::WString& text : event.strings) texts.push_back(os::ToUtf8(text));
        EXPECT_EQ(texts.size(), 5u);
        return texts;
    }

    switching::TSwitchResult Switch(settings::TPromptMode mode, audit::TOrigin origin, audit::Warnings& logged) {
        engine::TChangeLock lock(engine::TChangeLock::lpPerUser);
        return audit::SwitchMode(*options, mode, lock, origin, logged);
    }
    switching::TUndoOutcome Undo(audit::TOrigin origin) {
        engine::TChangeLock lock(engine::TChangeLock::lpPerUser);
        return audit::UndoLastSwitch(*options, false, lock, origin, warnings);
    }

    settings::OptionsPtr<settings::TOptions> options;
    audit::Warnings warnings;
};

TEST_F(AuditTest, ASwitchIsOneEventWhetherItGoesThroughOrNot) {
    SetWinlogon(WSTR("DefaultUserName"), WSTR("alice"));
    Switch(pmRelaxed, audit::orCommandLine, warnings);
    EXPECT_EQ(OnlyEvent(audit::ckSwitch, EVENTLOG_INFORMATION_TYPE),
              (std::vector<std::string>{
                  "Password prompting switched from Secure Mode to Relaxed Mode.", "User: GATEWISE-PC\\alice",
                  "Program: gatewisecmd.exe (the command line)",
                  "Settings written: start-up (AutoAdminLogon, AutoLogonCount), resume (the password on wake of the "
                  "active power plan), screen saver (ScreenSaverIsSecure and the session's setting).",
                  "Result: done."}));

    // The first writes are the switch's record for undo and its copy; the third, a setting.
    machine.Fail("RegSetValueExW", ERROR_ACCESS_DENIED, 2, 1);
    EXPECT_THROW(Switch(settings::pmSecure, audit::orWindow, warnings), switching::ESwitchFailed);
    const auto failed = OnlyEvent(audit::ckSwitch, EVENTLOG_ERROR_TYPE);
    EXPECT_EQ(failed[0], "Password prompting not switched from Relaxed Mode to Secure Mode.");
    EXPECT_EQ(failed[2], "Program: gatewise.exe (the window)");
    EXPECT_EQ(failed[3], "Settings left changed: none.");
    EXPECT_EQ(failed[4], "Result: failed. Failed to set data for 'AutoAdminLogon'\r\nNothing was changed.");
    EXPECT_TRUE(warnings.empty());
}

TEST_F(AuditTest, AnUndoIsOneEventAndARefusedOneNone) {
    SetWinlogon(WSTR("DefaultUserName"), WSTR("alice"));
    Switch(pmRelaxed, audit::orWindow, warnings);
    machine.eventLog.clear();

    machine.Fail("RegSetValueExW", ERROR_ACCESS_DENIED, 0, 1);
    EXPECT_THROW(Undo(audit::orCommandLine), switching::ESwitchFailed);
    EXPECT_EQ(OnlyEvent(audit::ckUndo, EVENTLOG_ERROR_TYPE)[0],
              "Last switch not undone: password prompting stays in Relaxed Mode.");

    EXPECT_EQ(Undo(audit::orCommandLine).result,
              switching::TUndoResult::Done);
    const auto undone = OnlyEvent(audit::ckUndo, EVENTLOG_INFORMATION_TYPE);
    EXPECT_EQ(undone[0], "Last switch undone: from Relaxed Mode back to Secure Mode.");
    EXPECT_EQ(undone[4], "Result: done.");

    EXPECT_EQ(Undo(audit::orCommandLine).result,
              switching::TUndoResult::NothingToUndo);
    EXPECT_TRUE(machine.eventLog.empty());
    EXPECT_TRUE(warnings.empty());
}

TEST_F(AuditTest, AFailureToLogNeverStopsTheChangeAndComesBackAsAWarning) {
    for (const char* function : {"RegisterEventSourceW", "ReportEventW"}) {
        os::sim::SimMachine fresh;
        os::ScopedMachine scope(fresh);
        fresh.Fail(function, ERROR_ACCESS_DENIED);
        audit::Warnings failures;
        Switch(pmRelaxed, audit::orWindow, failures);
        EXPECT_EQ(fresh.String(HKEY_LOCAL_MACHINE, kWinlogon, WSTR("AutoAdminLogon")), WSTR("1")) << function;
        EXPECT_EQ(failures, (audit::Warnings{"The change could not be written to the event log: System Error.  "
                                             "Code: 5.\r\nAccess is denied."}))
            << function;
        EXPECT_EQ(fresh.CountCalls("DeregisterEventSource"), function == std::string("ReportEventW") ? 1 : 0);
        EXPECT_EQ(fresh.OpenHandles(), 0) << function;
    }
}

TEST_F(AuditTest, AccountChangesNameTheAccountAndWhereItsPasswordWentNeverThePassword) {
    const os::SecretString password(WSTR("Tr0ub4dor&3"));
    audit::SetAutologonAccount(WSTR("bob"), WSTR("OFFICE"), password, audit::orWindow, warnings);
    auto texts = OnlyEvent(audit::ckAccount, EVENTLOG_INFORMATION_TYPE);
    EXPECT_EQ(texts[0], "Auto-logon account set to OFFICE\\bob.");
    EXPECT_EQ(texts[3], "Account: OFFICE\\bob, password in the protected store.");

    machine.Fail("LsaStorePrivateData", STATUS_ACCESS_DENIED, 0, 1);
    audit::SetAutologonAccount(WSTR("bob"), WSTR("OFFICE"), password, audit::orCommandLine, warnings);
    texts = OnlyEvent(audit::ckAccount, EVENTLOG_INFORMATION_TYPE);
    EXPECT_EQ(texts[3], "Account: OFFICE\\bob, password in the plain registry value DefaultPassword.");
    for (const std::string& text : texts) EXPECT_EQ(text.find("Tr0ub4dor"), std::string::npos) << text;

    machine.Fail("RegDeleteValueW", ERROR_ACCESS_DENIED);
    EXPECT_THROW(audit::SetAutologonAccount({}, {}, {}, audit::orCommandLine, warnings), engine::Exception);
    texts = OnlyEvent(audit::ckAccount, EVENTLOG_ERROR_TYPE);
    EXPECT_EQ(texts[0], "Auto-logon account not cleared.");
    EXPECT_EQ(texts[4].rfind("Result: failed. ", 0), 0u) << texts[4];
}

TEST_F(AuditTest, NoNameCanForgeALineOfAnEventOrTurnItsTextAround) {
    machine.samAccountName = os::FromUtf8("GATEWISE-PC\\ali\r\nResult: done.\u202e");
    audit::SetAutologonAccount(os::FromUtf8("b\u2028ob"), WSTR("OFFICE"), os::SecretString(WSTR("x")), audit::orWindow,
                               warnings);
    const auto texts = OnlyEvent(audit::ckAccount, EVENTLOG_INFORMATION_TYPE);
    EXPECT_EQ(texts[0], "Auto-logon account set to OFFICE\\b\\u2028ob.");
    EXPECT_EQ(texts[1], "User: GATEWISE-PC\\ali\\r\\nResult: done.\\u202e");
    EXPECT_EQ(engine::EscapedText("tag\U000E0041 z\u00e9"), "tag\\udb40\\udc41 z\u00e9");
}

TEST_F(AuditTest, OptionsChangesNameEachValueThatChangedAndThoseNotStored) {
    audit::TOptionsChange unchanged(*options, audit::orWindow);
    options->Save();
    unchanged.Report(warnings);
    EXPECT_TRUE(machine.eventLog.empty()) << "nothing changed, nothing to tell";

    audit::TOptionsChange change(*options, audit::orWindow);
    options->SetAutochangeStandby(false);
    options->SetModifyAllPowerProfiles(true);
    options->Save();
    change.Report(warnings);
    auto texts = OnlyEvent(audit::ckOptions, EVENTLOG_INFORMATION_TYPE);
    EXPECT_EQ(texts[0], "Options changed.");
    EXPECT_EQ(texts[3], "Options: AutochangeStandby from True to False, ModifyAllPowerProfiles from False to True.");

    machine.Key(HKEY_CURRENT_USER, kOptionsKey).readOnly = true;
    audit::TOptionsChange refused(*options, audit::orWindow);
    options->SetVerifyPassword(false);
    options->Save("VerifyPassword");
    refused.Report(warnings);
    texts = OnlyEvent(audit::ckOptions, EVENTLOG_ERROR_TYPE);
    EXPECT_EQ(texts[0], "Options changed, not all saved.");
    EXPECT_EQ(texts[4], "Result: failed. Not stored in the registry (HKEY_CURRENT_USER\\SOFTWARE\\Vantrel\\Gatewise): "
                        "VerifyPassword.");
}
