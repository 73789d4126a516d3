// A switch is all or nothing: what it changed before a failing write is put
// back exactly, and it acts on the options as they are stored now. Its record
// is kept, and undoing it puts the settings back unless others changed them.
#include "switching/LastSwitch.h"
#include "switching/Switch.h"
#include "switching/SwitchRecord.h"
#include "switching/Undo.h"
#include "MachineTest.h"

#include <nlohmann/json.hpp>

#include <chrono>
#include <cstring>

using settings::pmRelaxed;
using settings::pmSecure;
using switching::ESwitchFailed;
using switching::TUndoResult;

class SwitchRecordTest : public MachineTest {
protected:
    static constexpr const WCHAR* kOptionsKey = WSTR("SOFTWARE\\Vantrel\\Gatewise");

    // A Modern Standby PC in Secure Mode, with values a switch must restore
    // exactly: no AutoAdminLogon at all, a sign-in delay stored as text.
    void SetUp() override {
        machine.modernStandby = true;
        machine.SetString(HKEY_CURRENT_USER, kDesktop, WSTR("DelayLockInterval"), WSTR("300"));
        options = settings::Create<settings::TOptions>(false, kOptionsKey);
        options->SetSaveOnDestroy(false);
    }

    // Every value a switch touches, as one line.
    std::string Settings() const {
        std::string text;
        const auto value = [&](HKEY root, const WCHAR* path, const WCHAR* name) {
            const os::sim::RegistryValue* stored = machine.Value(root, path, name);
            text += os::ToUtf8(name) + "=";
            if (!stored) text += "absent";
            else for (BYTE b : stored->data) text += std::to_string(stored->type) + ":" + std::to_string(b) + ",";
            text += " ";
        };
        value(HKEY_LOCAL_MACHINE, kWinlogon, WSTR("AutoAdminLogon"));
        value(HKEY_CURRENT_USER, kDesktop, WSTR("DelayLockInterval"));
        value(HKEY_CURRENT_USER, kDesktop, WSTR("ScreenSaverIsSecure"));
        for (const auto& scheme : machine.powerSchemes)
            text += std::to_string(scheme.lockOnWakeAc) + "/" + std::to_string(scheme.lockOnWakeDc) + " ";
        return text + "session=" + std::to_string(machine.screenSaverSecure);
    }

    switching::TSwitchResult Switch(settings::TPromptMode mode) {
        engine::TChangeLock lock(engine::TChangeLock::lpPerUser);
        return switching::SwitchMode(*options, mode, lock);
    }
    switching::TUndoOutcome Undo(bool force, const switching::TLastSwitch* named = nullptr) {
        engine::TChangeLock lock(engine::TChangeLock::lpPerUser);
        return switching::UndoLastSwitch(*options, force, lock, named);
    }

    ESwitchFailed FailedSwitch() {
        try {
            Switch(pmRelaxed);
        } catch (const ESwitchFailed& failure) {
            return failure;
        }
        ADD_FAILURE() << "the switch went through";
        return ESwitchFailed("", {});
    }

    std::optional<os::WString> StoredRecord() const {
        return machine.String(HKEY_CURRENT_USER, kOptionsKey, WSTR("LastSwitch"));
    }
    void StoreRecord(const std::string& text) {
        machine.SetString(HKEY_CURRENT_USER, kOptionsKey, WSTR("LastSwitch"), os::FromUtf8(text));
    }
    static std::int64_t Now() {
        return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
            .count();
    }

    settings::OptionsPtr<settings::TOptions> options;
};

TEST_F(SwitchRecordTest, WriteRefusedAtEachSettingPutsBackTheEarlierOnesExactly) {
    const std::string before = Settings();
    struct Step {
        const char* function;
        int skip;  // calls that succeed first
        const char* cause;
    };
    // The first values written are the record that undoes the switch and its copy.
    for (const Step& step : {Step{"RegSetValueExW", 2, "Failed to set data for 'AutoAdminLogon'"},
                             Step{"PowerWriteDCValueIndex", 0, "System Error.  Code: 5.\r\nAccess is denied."},
                             Step{"RegSetValueExW", 3, "Failed to set data for 'DelayLockInterval'"},
                             Step{"RegSetValueExW", 4, "Failed to set data for 'ScreenSaverIsSecure'"},
                             Step{"SystemParametersInfoW", 1, "System Error.  Code: 5.\r\nAccess is denied."}}) {
        machine.Fail(step.function, ERROR_ACCESS_DENIED, step.skip, 1);
        const ESwitchFailed failure = FailedSwitch();
        EXPECT_EQ(failure.Cause, step.cause) << step.function << " " << step.skip;
        EXPECT_EQ(std::string(failure.what()), std::string(step.cause) + "\r\nNothing was changed.");
        EXPECT_EQ(Settings(), before) << step.function << " " << step.skip;
    }

    // The record of a switch that went through puts everything back as well.
    const switching::TSwitchRecord record = Switch(pmRelaxed).record;
    EXPECT_NE(Settings(), before);
    EXPECT_TRUE(switching::RestoreSwitch(record).empty());
    EXPECT_EQ(Settings(), before);
    EXPECT_EQ(switching::RecordSwitch(*options, switching::DecideCoverage(*options), pmRelaxed), record);
}

TEST_F(SwitchRecordTest, LockedSessionOrUnactivatedPlanIsPutBackWholeWithoutRetryingTheRefusedWrite) {
    const std::string before = Settings();
    machine.sessionLocked = true;
    ESwitchFailed locked = FailedSwitch();
    EXPECT_EQ(locked.CauseCode, DWORD{ERROR_OPERATION_IN_PROGRESS});
    EXPECT_TRUE(locked.LeftChanged.empty());
    EXPECT_EQ(Settings(), before);
    EXPECT_EQ(Args("SystemParametersInfoW").find("0x77,1"), std::string::npos);  // the refused write is not retried
    machine.sessionLocked = false;

    machine.Fail("PowerSetActiveScheme", ERROR_ACCESS_DENIED);
    ESwitchFailed unactivated = FailedSwitch();
    EXPECT_NE(unactivated.Cause.find("Windows did not activate the plan"), std::string::npos) << unactivated.Cause;
    EXPECT_TRUE(unactivated.LeftChanged.empty());  // the values were written back; only activating failed
    EXPECT_NE(std::string(unactivated.what()).find("Nothing was changed."), std::string::npos);
    EXPECT_EQ(Settings(), before);
}

TEST_F(SwitchRecordTest, SettingsThatCannotBePutBackAreNamed) {
    SetWinlogon(WSTR("AutoAdminLogon"), WSTR("0"));
    // The delay's write fails, and so does every later one: AutoAdminLogon stays switched.
    machine.Fail("RegSetValueExW", ERROR_ACCESS_DENIED, 3);
    const ESwitchFailed failure = FailedSwitch();
    EXPECT_EQ(failure.LeftChanged, std::vector<std::string>{"AutoAdminLogon"});
    EXPECT_STREQ(failure.what(), "Failed to set data for 'DelayLockInterval'\r\n"
                                 "These settings could not be put back and stay changed: AutoAdminLogon.");
    EXPECT_EQ(Winlogon(WSTR("AutoAdminLogon")), os::WString(WSTR("1")));
    EXPECT_EQ(machine.powerSchemes[machine.activeScheme].lockOnWakeAc, 1u) << "the power setting was put back";
}

TEST_F(SwitchRecordTest, OptionsStoredByAnotherProcessAreTakenBeforeASwitch) {
    auto other = settings::Create<settings::TOptions>(false, kOptionsKey);
    other->SetSaveOnDestroy(false);
    other->SetAutochangeStartup(false);
    other->Save();
    Switch(pmRelaxed);
    EXPECT_FALSE(Winlogon(WSTR("AutoAdminLogon"))) << "the start-up setting is no longer managed";
    EXPECT_FALSE(options->AutochangeStartup());
    EXPECT_FALSE(machine.screenSaverSecure);

    // What this process could not store holds in memory, until another process stores a value.
    machine.Key(HKEY_CURRENT_USER, kOptionsKey).readOnly = true;
    options->SetModifyAllPowerProfiles(true);
    options->Save();
    EXPECT_EQ(options->NotStored().size(), 6u);
    EXPECT_TRUE(options->TakeNotStoredNotice());
    EXPECT_FALSE(options->TakeNotStoredNotice()) << "told once";
    EXPECT_FALSE(options->AdoptStoredChanges());
    EXPECT_TRUE(options->ModifyAllPowerProfiles());
    machine.SetString(HKEY_CURRENT_USER, kOptionsKey, WSTR("AutochangeScreenSaver"), WSTR("False"));
    EXPECT_TRUE(options->AdoptStoredChanges());
    EXPECT_FALSE(options->AutochangeScreenSaver());
    EXPECT_TRUE(options->ModifyAllPowerProfiles()) << "nobody else stored it";
}

TEST_F(SwitchRecordTest, RecordForUndoIsStoredBeforeTheFirstWriteWithExactValuesAndNoPassword) {
    SetWinlogon(WSTR("DefaultPassword"), WSTR("Sesame-42"));
    machine.lsaSecrets[WSTR("DefaultPassword")] = {'S', 0, 'e', 0, 's', 0};
    const std::int64_t start = Now();
    const switching::TSwitchResult result = Switch(pmRelaxed);
    EXPECT_TRUE(result.undoAvailable);

    const std::vector<std::string> writes = machine.CallsTo("RegSetValueExW");
    ASSERT_GE(writes.size(), 3u);
    EXPECT_EQ(writes[0].rfind("LastSwitch,", 0), 0u) << "the record and its copy are written before any setting";
    EXPECT_EQ(writes[1].rfind("LastSwitch,", 0), 0u);
    EXPECT_EQ(writes[2].rfind("AutoAdminLogon,", 0), 0u);
    EXPECT_EQ(machine.String(HKEY_LOCAL_MACHINE, kOptionsKey, WSTR("LastSwitch")), StoredRecord());

    const switching::TStoredSwitch stored = switching::ReadLastSwitch(*options);
    ASSERT_TRUE(stored.last) << stored.problem;
    EXPECT_EQ(stored.last->before, result.record);
    ASSERT_TRUE(stored.last->after);
    EXPECT_EQ(stored.last->after->autoAdminLogon, (engine::RawValue{REG_SZ, {'1', 0, 0, 0}}));
    EXPECT_EQ(stored.last->after->lockOnWake.at(0).dc, 0u);
    EXPECT_GE(stored.last->time, start);
    EXPECT_LE(stored.last->time, Now());
    const std::string text = os::ToUtf8(StoredRecord().value());
    EXPECT_EQ(text.find("Sesame"), std::string::npos);
    EXPECT_EQ(text.find("530065007300"), std::string::npos) << "the password as UTF-16 bytes";
}

TEST_F(SwitchRecordTest, FailedSwitchKeepsTheRecordBeforeItAndAKeyThatRefusesTheRecordStillSwitches) {
    Switch(pmSecure);
    const std::optional<os::WString> recorded = StoredRecord();
    ASSERT_TRUE(recorded);
    machine.Fail("PowerWriteDCValueIndex", ERROR_ACCESS_DENIED, 0, 1);
    FailedSwitch();
    EXPECT_EQ(StoredRecord(), recorded);

    machine.Key(HKEY_CURRENT_USER, kOptionsKey).readOnly = true;
    EXPECT_FALSE(Switch(pmRelaxed).undoAvailable);
    EXPECT_EQ(Winlogon(WSTR("AutoAdminLogon")), os::WString(WSTR("1")));
}

TEST_F(SwitchRecordTest, UndoPutsBackACustomMixExactlyAndForgetsTheSwitch) {
    // Set by hand: no password at start-up nor on wake on mains, the screen saver asks.
    SetWinlogon(WSTR("AutoAdminLogon"), WSTR("1"));
    machine.powerSchemes[machine.activeScheme].lockOnWakeAc = 0;
    machine.SetString(HKEY_CURRENT_USER, kDesktop, WSTR("ScreenSaverIsSecure"), WSTR("1"));
    const std::string custom = Settings();
    Switch(pmSecure);
    ASSERT_NE(Settings(), custom);

    const switching::TUndoOutcome undone = Undo(false);
    EXPECT_EQ(undone.result, TUndoResult::Done);
    EXPECT_EQ(undone.last->before.mode, pmSecure);
    EXPECT_EQ(Settings(), custom);
    EXPECT_FALSE(StoredRecord());
    EXPECT_EQ(Undo(false).result, TUndoResult::NothingToUndo);
}

TEST_F(SwitchRecordTest, UndoRefusesAfterOutsideChangesUnlessForcedAndIsAllOrNothing) {
    const std::string before = Settings();
    Switch(pmRelaxed);
    machine.SetString(HKEY_CURRENT_USER, kDesktop, WSTR("ScreenSaverIsSecure"), WSTR("1"));
    machine.powerSchemes[machine.activeScheme].lockOnWakeDc = 1;
    const std::string changed = Settings();

    const switching::TUndoOutcome refused = Undo(false);
    EXPECT_EQ(refused.result, TUndoResult::ChangedSince);
    EXPECT_EQ(refused.changed,
              (std::vector<std::string>{"the password on wake of power plan " +
                                            os::GuidText(machine.powerSchemes[machine.activeScheme].guid),
                                        "ScreenSaverIsSecure"}));
    EXPECT_EQ(Settings(), changed);
    // The window names them in words, the plan as Power Options shows it.
    EXPECT_EQ(switching::SettingInWords(refused.changed[0]), "the password on wake in the power plan Balanced");
    EXPECT_EQ(switching::SettingInWords(refused.changed[1]), "the password after the screen saver");
    EXPECT_EQ(switching::SettingInWords("AutoAdminLogon"), "automatic logon");
    machine.Fail("PowerReadFriendlyName", ERROR_ACCESS_DENIED, 0, 1);
    EXPECT_EQ(switching::SettingInWords(refused.changed[0]), refused.changed[0]) << "a plan without a name read";

    // A write refused halfway: what the undo had changed goes back, and the switch stays undoable.
    machine.Fail("PowerWriteACValueIndex", ERROR_ACCESS_DENIED, 0, 1);
    EXPECT_EQ(MessageOf<ESwitchFailed>([&] { Undo(true); }),
              "System Error.  Code: 5.\r\nAccess is denied.\r\nNothing was changed.");
    EXPECT_EQ(Settings(), changed);
    EXPECT_TRUE(StoredRecord());

    EXPECT_EQ(Undo(true).result, TUndoResult::Done);
    EXPECT_EQ(Settings(), before);
}

TEST_F(SwitchRecordTest, UndoFollowsTheAdministratorRulesOfASwitch) {
    Switch(pmRelaxed);
    const std::string relaxed = Settings();
    machine.processGroups = {{os::sim::UsersSid(), SE_GROUP_ENABLED}};
    EXPECT_EQ(Undo(true).result, TUndoResult::NeedsAdministrator);
    EXPECT_EQ(Settings(), relaxed);

    // A standard user's own switch covers the screen saver alone, and its undo goes through.
    Switch(pmSecure);
    EXPECT_NE(Settings(), relaxed);
    EXPECT_EQ(Undo(false).result, TUndoResult::Done);
    EXPECT_EQ(Settings(), relaxed);
}

TEST_F(SwitchRecordTest, ARecordHoldingWhatNoSwitchCouldHaveFoundIsDamagedAndWritesNothing) {
    using nlohmann::json;
    Switch(pmRelaxed);
    const json record = json::parse(os::ToUtf8(StoredRecord().value()));
    const auto edited = [&](const char* part, const char* setting, json value) {
        json copy = record;
        copy[part][setting] = std::move(value);
        return copy.dump();
    };
    const auto raw = [](DWORD type, const std::string& hex) { return json{{"type", type}, {"data", hex}}; };
    const std::string relaxed = Settings();
    const std::string wordy = std::string(2 * 40, '3') + "0000";  // forty characters of text
    for (const std::string& forged :
         {edited("before", "AutoAdminLogon", raw(REG_BINARY, "3100")),
          edited("before", "AutoAdminLogon", raw(REG_DWORD, "01000000")),
          edited("before", "AutoAdminLogon", raw(REG_SZ, wordy)),
          edited("before", "AutoAdminLogon", raw(REG_SZ, "3100")),  // no terminator
          edited("before", "AutoAdminLogon", raw(REG_SZ, std::string(512 * 1024 * 4, '3') + "0000")),
          edited("before", "AutoLogonCount", raw(REG_QWORD, "0100000000000000")),
          edited("before", "ScreenSaverIsSecure", raw(REG_DWORD, "01000000")),
          edited("before", "DelayLockInterval", raw(REG_SZ, "3100780000000")),
          edited("before", "DelayLockInterval", raw(REG_SZ, "31007800" "0000")),  // "1x"
          edited("before", "DelayLockInterval", raw(REG_BINARY, "00000000")),
          edited("before", "lockOnWake", json::array({{{"scheme", record["before"]["lockOnWake"][0]["scheme"]},
                                                       {"active", true}, {"ac", 2}, {"dc", 0}}})),
          edited("before", "passwordOnResume", true)}) {
        StoreRecord(forged);
        const switching::TUndoOutcome outcome = Undo(true);
        EXPECT_EQ(outcome.result, TUndoResult::NothingToUndo) << forged.substr(0, 400);
        EXPECT_NE(outcome.problem.find("is damaged"), std::string::npos) << outcome.problem;
    }
    EXPECT_EQ(Settings(), relaxed);

    // A time that no clock shows.
    json late = record;
    late["time"] = 99999999999999;
    StoreRecord(late.dump());
    EXPECT_EQ(Undo(true).result, TUndoResult::NothingToUndo);
    // The delay of Modern Standby, recorded on a PC without it.
    StoreRecord(record.dump());
    machine.modernStandby = false;
    EXPECT_EQ(Undo(true).result, TUndoResult::NothingToUndo);
    machine.modernStandby = true;
    // A text DelayLockInterval is what a switch finds and restores exactly.
    StoreRecord(edited("before", "DelayLockInterval", raw(REG_SZ, "3300300030000000")));
    EXPECT_EQ(Undo(true).result, TUndoResult::Done);
    EXPECT_EQ(machine.String(HKEY_CURRENT_USER, kDesktop, WSTR("DelayLockInterval")), WSTR("300"));
}

TEST_F(SwitchRecordTest, MachineWideValuesComeOnlyFromTheCopyWhereOnlyAdministratorsWrite) {
    using nlohmann::json;
    Switch(pmRelaxed);
    const std::optional<os::WString> copy = machine.String(HKEY_LOCAL_MACHINE, kOptionsKey, WSTR("LastSwitch"));
    ASSERT_EQ(copy, StoredRecord());
    // The user's own record, edited to turn automatic logon on at undo, is
    // no longer the copy's: its machine-wide values are not taken.
    json forged = json::parse(os::ToUtf8(*copy));
    forged["before"]["AutoAdminLogon"] = {{"type", REG_SZ}, {"data", "31000000"}};
    for (const std::string& record : {forged.dump(), std::string(R"({"version":1})")}) {
        SCOPED_TRACE(record.substr(0, 60));
        Switch(pmSecure);
        Switch(pmRelaxed);
        StoreRecord(record == forged.dump() ? record : os::ToUtf8(*StoredRecord()));
        if (record != forged.dump()) machine.SetString(HKEY_LOCAL_MACHINE, kOptionsKey, WSTR("LastSwitch"),
                                                       os::FromUtf8(forged.dump()));  // another switch's copy
        const switching::TUndoOutcome outcome = Undo(true);
        EXPECT_EQ(outcome.result, TUndoResult::Done);
        EXPECT_TRUE(outcome.machineWideLeft);
        EXPECT_NE(outcome.problem.find("HKEY_LOCAL_MACHINE\\SOFTWARE\\Vantrel\\Gatewise, where only administrators "
                                       "write, is missing"),
                  std::string::npos)
            << outcome.problem;
        EXPECT_EQ(Winlogon(WSTR("AutoAdminLogon")), WSTR("1")) << "left as the switch left it";
        EXPECT_EQ(machine.powerSchemes[machine.activeScheme].lockOnWakeAc, 0u);
        EXPECT_EQ(machine.screenSaverSecure, TRUE) << "the user's own settings are undone";
    }
    // With the copy the same record, everything is undone.
    Switch(pmSecure);
    const std::string secure = Settings();
    Switch(pmRelaxed);
    EXPECT_EQ(Undo(false).result, TUndoResult::Done);
    EXPECT_EQ(Settings(), secure);
    EXPECT_EQ(machine.String(HKEY_LOCAL_MACHINE, kOptionsKey, WSTR("LastSwitch")), std::nullopt);
}

TEST_F(SwitchRecordTest, APowerPlanDeletedSinceTheSwitchIsNamedAndTheRestIsUndone) {
    using nlohmann::json;
    const std::string secure = Settings();
    Switch(pmRelaxed);
    json record = json::parse(os::ToUtf8(StoredRecord().value()));
    const char* gone = "{11111111-2222-3333-4444-555555555555}";
    for (const char* part : {"before", "after"}) record[part]["lockOnWake"][0]["scheme"] = gone;
    StoreRecord(record.dump());
    machine.SetString(HKEY_LOCAL_MACHINE, kOptionsKey, WSTR("LastSwitch"), os::FromUtf8(record.dump()));
    const switching::TUndoOutcome outcome = Undo(false);
    EXPECT_EQ(outcome.result, TUndoResult::Done);
    EXPECT_EQ(outcome.schemesGone, std::vector<std::string>{gone});
    EXPECT_EQ(machine.screenSaverSecure, TRUE);
    EXPECT_EQ(machine.String(HKEY_CURRENT_USER, kDesktop, WSTR("DelayLockInterval")), WSTR("300"));
    EXPECT_NE(Settings(), secure) << "the real plan kept its value, as the record did not name it";
}

TEST_F(SwitchRecordTest, DamagedForeignOrUnfinishedRecordsAreNotUndoneUnasked) {
    using nlohmann::json;
    Switch(pmRelaxed);
    const std::string text = os::ToUtf8(StoredRecord().value());
    const json record = json::parse(text);
    EXPECT_EQ(switching::LastSwitchText(*switching::ParseLastSwitch(text)), text);
    const auto edited = [&](auto edit) {
        json copy = record;
        edit(copy);
        return copy.dump();
    };
    const std::string relaxed = Settings();
    for (const std::string& damaged :
         {text.substr(0, text.size() - 1), edited([](json& r) { r["version"] = 2; }),
          edited([](json& r) { r["note"] = "extra"; }), edited([](json& r) { r["covers"]["startup"] = false; }),
          edited([](json& r) { r["before"]["AutoAdminLogon"]["data"] = "3"; }),
          edited([](json& r) { r["after"]["lockOnWake"][0]["scheme"] = "{not-a-guid}"; }),
          edited([](json& r) { r["after"]["lockOnWake"][0]["ac"] = -1; })}) {
        StoreRecord(damaged);
        const switching::TUndoOutcome outcome = Undo(true);
        EXPECT_EQ(outcome.result, TUndoResult::NothingToUndo) << damaged;
        EXPECT_NE(outcome.problem.find("LastSwitch under HKEY_CURRENT_USER\\SOFTWARE\\Vantrel\\Gatewise) is damaged"),
                  std::string::npos)
            << outcome.problem;
    }
    machine.SetDword(HKEY_CURRENT_USER, kOptionsKey, WSTR("LastSwitch"), 1);
    EXPECT_NE(Undo(true).problem.find("is not text"), std::string::npos);
    EXPECT_EQ(Settings(), relaxed);

    // A switch that did not finish: whether the settings changed since cannot be told.
    StoreRecord(edited([](json& r) { r.erase("after"); }));
    const switching::TUndoOutcome unfinished = Undo(false);
    EXPECT_EQ(unfinished.result, TUndoResult::ChangedSince);
    EXPECT_TRUE(unfinished.changed.empty());
    EXPECT_EQ(Undo(true).result, TUndoResult::Done);
    EXPECT_NE(Settings(), relaxed);
}
