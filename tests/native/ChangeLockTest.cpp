// One change at a time: the change lock between processes of the simulated
// machine, and the switch's record, which belongs to its own switch.
#include "engine/ChangeLock.h"
#include "engine/ConsoleUser.h"
#include "switching/LastSwitch.h"
#include "switching/Switch.h"
#include "switching/Undo.h"
#include "MachineTest.h"

using engine::EChangeInProgress;
using engine::TChangeLock;
using settings::pmRelaxed;
using settings::pmSecure;
using switching::TUndoResult;

class ChangeLockTest : public MachineTest {
protected:
    static constexpr const WCHAR* kOptionsKey = WSTR("SOFTWARE\\Vantrel\\Gatewise");
    static constexpr unsigned kBoth = TChangeLock::lpPerUser | TChangeLock::lpMachineWide;

    // Whether another process could take `parts` now: it gives up at once when not.
    bool OtherProcessCouldTake(unsigned parts, DWORD process = 2) {
        bool taken = false;
        machine.AsProcess(process, [&] {
            try {
                const TChangeLock lock(parts);
                taken = true;
            } catch (const EChangeInProgress&) {
            }
        });
        return taken;
    }
    static os::WString AliceMutex() { return WSTR("Global\\Gatewise.Changes.") + os::sim::SidText(os::sim::AliceSid()); }
};

TEST_F(ChangeLockTest, AnotherProcessWaitsTenSecondsThenIsRefusedWithNothingDone) {
    {
        const TChangeLock lock(kBoth);
        EXPECT_EQ(machine.MutexOwner(AliceMutex()), 1u);
        EXPECT_EQ(machine.PrivateNamespaces(), std::vector<os::WString>{WSTR("Gatewise.MachineChanges")});
        const DWORD start = machine.tickCount;
        EXPECT_EQ(MessageOf<EChangeInProgress>([&] { machine.AsProcess(2, [] { TChangeLock other(kBoth); }); }),
                  "Another Gatewise change is in progress; nothing was changed.");
        EXPECT_EQ(machine.tickCount - start, engine::kChangeLockMilliseconds);
        // The machine-wide part alone is taken by creating the namespace, retried until the time is up.
        EXPECT_FALSE(OtherProcessCouldTake(TChangeLock::lpMachineWide));
        EXPECT_GT(machine.CountCalls("Sleep"), 100);
        EXPECT_EQ(machine.CountCalls("CreatePrivateNamespaceW"), 2 + machine.CountCalls("Sleep"));
    }
    EXPECT_EQ(machine.MutexOwner(AliceMutex()), 0u);
    EXPECT_TRUE(machine.PrivateNamespaces().empty());
    EXPECT_TRUE(OtherProcessCouldTake(kBoth));
    EXPECT_NE(Args("ConvertStringSecurityDescriptorToSecurityDescriptorW")
                  .find("D:P(A;;GA;;;SY)(A;;GA;;;BA)(A;;GA;;;" + os::ToUtf8(os::sim::SidText(os::sim::AliceSid())) +
                        "),revision=1"),
              std::string::npos);
}

TEST_F(ChangeLockTest, APartIsTakenOnlyWhenAskedForAndTheMachineWidePartCanBeAdded) {
    TChangeLock lock(TChangeLock::lpPerUser);
    EXPECT_FALSE(lock.HoldsMachineWide());
    EXPECT_TRUE(OtherProcessCouldTake(TChangeLock::lpMachineWide));
    EXPECT_FALSE(OtherProcessCouldTake(TChangeLock::lpPerUser));
    lock.TakeMachineWide();
    lock.TakeMachineWide();
    EXPECT_TRUE(lock.HoldsMachineWide());
    EXPECT_EQ(machine.CountCalls("CreatePrivateNamespaceW"), 2);
    EXPECT_FALSE(OtherProcessCouldTake(TChangeLock::lpMachineWide));
}

TEST_F(ChangeLockTest, PerUserPartsAreOneUsersWhateverProcessWorksOnTheirSettings) {
    const TChangeLock lock(TChangeLock::lpPerUser);
    // Another user's process goes on; SYSTEM working on alice's settings waits for her lock.
    const os::sim::SidValue alice = machine.processUser;
    machine.processUser = os::sim::SidValue{{0, 0, 0, 0, 0, 5}, {21, 1, 2, 3, 1002}};
    EXPECT_TRUE(OtherProcessCouldTake(TChangeLock::lpPerUser));
    machine.processUser = os::sim::LocalSystemSid();
    {
        const engine::PerUserTargetScope console(
            {engine::PerUserTarget::Console, {1, os::sim::SidText(alice), WSTR("GATEWISE-PC\\alice")}});
        EXPECT_FALSE(OtherProcessCouldTake(TChangeLock::lpPerUser));
    }
    // With nobody signed in there are no per-user settings, and no per-user part.
    const engine::PerUserTargetScope nobody({engine::PerUserTarget::Nobody, {}});
    EXPECT_TRUE(OtherProcessCouldTake(kBoth));
}

TEST_F(ChangeLockTest, AHolderThatEndsWithoutReleasingLeavesTheLockFree) {
    machine.AsProcess(2, [&] { TChangeLock lock(TChangeLock::lpMachineWide); });
    // A process that ends in the middle of its change, holding the per-user mutex, abandons it.
    machine.AsProcess(2, [&] { machine.WaitForSingleObject(machine.CreateMutexW(nullptr, FALSE, AliceMutex().c_str()), 0); });
    const DWORD start = machine.tickCount;
    const TChangeLock lock(kBoth);
    EXPECT_EQ(machine.MutexOwner(AliceMutex()), 1u);
    EXPECT_EQ(machine.tickCount, start) << "taken at once";
}

TEST_F(ChangeLockTest, AStandardUserCanNeitherMakeNorHoldTheMachineWidePart) {
    machine.processGroups = {{os::sim::UsersSid(), SE_GROUP_ENABLED}};
    EXPECT_EQ(MessageOf<engine::EOSError>([] { TChangeLock lock(TChangeLock::lpMachineWide); }),
              "The lock that keeps Gatewise changes one at a time cannot be taken: Access is denied.");
    EXPECT_TRUE(machine.PrivateNamespaces().empty());
    // A filtered administrator token has the group for denying only.
    machine.processGroups = {{os::sim::AdministratorsSid(), SE_GROUP_USE_FOR_DENY_ONLY}};
    EXPECT_THROW(TChangeLock lock(TChangeLock::lpMachineWide), engine::EOSError);
}

TEST_F(ChangeLockTest, WithoutPrivateNamespacesTheMachineWidePartIsAnAdministratorsOnlyMutex) {
    machine.RemoveExport("kernel32.dll", "AddSIDToBoundaryDescriptor");  // as Windows XP and Wine
    const TChangeLock lock(TChangeLock::lpMachineWide);
    EXPECT_EQ(machine.MutexOwner(WSTR("Global\\Gatewise.Changes.Machine")), 1u);
    EXPECT_EQ(machine.CountCalls("CreateBoundaryDescriptorW"), 0);
    EXPECT_FALSE(OtherProcessCouldTake(TChangeLock::lpMachineWide));
    machine.processGroups = {{os::sim::UsersSid(), SE_GROUP_ENABLED}};
    EXPECT_THROW(OtherProcessCouldTake(TChangeLock::lpMachineWide), engine::EOSError) << "may not even open it";
    machine.processGroups = {{os::sim::AdministratorsSid(), SE_GROUP_ENABLED}};
}

// ---------------------------------------------------------------- the record belongs to its switch

class OwnRecordTest : public MachineTest {
protected:
    static constexpr const WCHAR* kOptionsKey = WSTR("SOFTWARE\\Vantrel\\Gatewise");

    void SetUp() override {
        SetWinlogon(WSTR("DefaultUserName"), WSTR("alice"));
        options = settings::Create<settings::TOptions>(false, kOptionsKey);
        options->SetSaveOnDestroy(false);
    }
    switching::TSwitchResult Switch(settings::TPromptMode mode) {
        TChangeLock lock(TChangeLock::lpPerUser);
        return switching::SwitchMode(*options, mode, lock);
    }
    switching::TUndoOutcome Undo(bool force, const switching::TLastSwitch* named = nullptr) {
        TChangeLock lock(TChangeLock::lpPerUser);
        return switching::UndoLastSwitch(*options, force, lock, named);
    }
    std::optional<switching::TLastSwitch> Last() { return switching::ReadLastSwitch(*options).last; }

    settings::OptionsPtr<settings::TOptions> options;
};

TEST_F(OwnRecordTest, ASwitchThatChangedNothingKeepsTheRecordBeforeAndOneWithNothingToSwitchIsRefused) {
    Switch(pmRelaxed);
    const auto relaxed = Last();
    ASSERT_TRUE(relaxed);
    const switching::TSwitchResult again = Switch(pmRelaxed);
    EXPECT_TRUE(again.changedNothing);
    EXPECT_EQ(Last(), relaxed);

    options->SetAutochangeStartup(false);
    options->SetAutochangeStandby(false);
    options->SetAutochangeScreenSaver(false);
    options->Save();
    EXPECT_EQ(MessageOf<switching::ENothingToSwitch>([&] { Switch(pmSecure); }),
              "There is nothing to switch: the start-up, resume and screen saver settings are left alone by the "
              "options.\r\nNothing was changed.");
    EXPECT_EQ(Last(), relaxed);
    EXPECT_EQ(Winlogon(WSTR("AutoAdminLogon")), WSTR("1"));
}

TEST_F(OwnRecordTest, ASwitchWhosePutBackFailsKeepsItsRecordSoThatUndoPutsTheSettingsBack) {
    // The resume write fails; putting back the start-up value fails as well.
    machine.Fail("PowerWriteACValueIndex", ERROR_ACCESS_DENIED, 0, 1);
    machine.Fail("RegDeleteValueW", ERROR_ACCESS_DENIED, 0, 1);
    const switching::ESwitchFailed failure = [&] {
        try {
            Switch(pmRelaxed);
        } catch (const switching::ESwitchFailed& error) {
            return error;
        }
        return switching::ESwitchFailed("the switch went through", {});
    }();
    EXPECT_EQ(failure.LeftChanged, std::vector<std::string>{"AutoAdminLogon"});
    EXPECT_EQ(Winlogon(WSTR("AutoAdminLogon")), WSTR("1"));
    const auto kept = Last();
    ASSERT_TRUE(kept && kept->after);
    EXPECT_EQ(kept->before.mode, pmRelaxed);
    EXPECT_EQ(Undo(false).result, TUndoResult::Done);
    EXPECT_EQ(Winlogon(WSTR("AutoAdminLogon")), std::nullopt);
    EXPECT_EQ(options->GetCurrentMode(), pmSecure);
}

TEST_F(OwnRecordTest, AForcedUndoUndoesOnlyTheSwitchItNamed) {
    Switch(pmRelaxed);
    machine.screenSaverSecure = TRUE;  // changed since, by hand
    const switching::TUndoOutcome asked = Undo(false);
    ASSERT_EQ(asked.result, TUndoResult::ChangedSince);
    // While the question is open, another process switches.
    machine.AsProcess(2, [&] {
        const auto other = settings::Create<settings::TOptions>(false, kOptionsKey);
        other->SetSaveOnDestroy(false);
        TChangeLock lock(TChangeLock::lpPerUser);
        switching::SwitchMode(*other, pmSecure, lock);
    });
    const auto newer = Last();
    ASSERT_NE(newer, asked.last);
    const switching::TUndoOutcome forced = Undo(true, &*asked.last);
    EXPECT_EQ(forced.result, TUndoResult::RecordChanged);
    EXPECT_EQ(forced.last, newer);
    EXPECT_EQ(Last(), newer);
    EXPECT_EQ(options->GetCurrentMode(), pmSecure) << "nothing was changed";
    EXPECT_EQ(Undo(true, &*newer).result, TUndoResult::Done);
    EXPECT_EQ(Undo(true, &*newer).result, TUndoResult::RecordChanged) << "it is gone";
}

TEST_F(OwnRecordTest, AJournalTouchesTheStoredRecordOnlyWhileItIsItsOwn) {
    Switch(pmRelaxed);
    const auto relaxed = Last();
    const switching::TSwitchRecord record = switching::RecordSwitch(*options, switching::DecideCoverage(*options), pmSecure);
    for (const bool complete : {true, false}) {
        switching::TSwitchJournal journal(*options, record);
        // Someone else stores a record meanwhile, without the lock.
        machine.SetString(HKEY_CURRENT_USER, kOptionsKey, WSTR("LastSwitch"), WSTR("theirs"));
        if (complete) EXPECT_FALSE(journal.Complete(record));
        else journal.Withdraw();
        EXPECT_EQ(machine.String(HKEY_CURRENT_USER, kOptionsKey, WSTR("LastSwitch")), WSTR("theirs"));
    }
    // Undo forgets the record it undid, and no other.
    machine.SetString(HKEY_CURRENT_USER, kOptionsKey, WSTR("LastSwitch"),
                      os::FromUtf8(switching::LastSwitchText(*relaxed)));
    EXPECT_TRUE(switching::ForgetLastSwitch(*options, switching::TLastSwitch{record, {}, 1}));
    EXPECT_EQ(Last(), relaxed);
    EXPECT_TRUE(switching::ForgetLastSwitch(*options, *relaxed));
    EXPECT_EQ(Last(), std::nullopt);
}
