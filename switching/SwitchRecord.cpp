#include "switching/SwitchRecord.h"

#include "engine/ConsoleUser.h"
#include "engine/Utilities.h"
#include "engine/WindowsVersion.h"

#include <algorithm>
#include <functional>
#include <string_view>
#include <utility>

namespace switching {
namespace {

std::string SchemeName(const GUID& guid) { return "the password on wake of power plan " + os::GuidText(guid); }

std::string FailureMessage(const std::string& cause, const std::vector<std::string>& leftChanged) {
    if (leftChanged.empty()) return cause + "\r\nNothing was changed.";
    std::string names;
    for (const std::string& name : leftChanged) names += (names.empty() ? "" : ", ") + name;
    return cause + "\r\nThese settings could not be put back and stay changed: " + names + ".";
}

const char kSessionParameterName[] = "the screen saver password of the session";
const char kPolicyFlagName[] = "the password on resume of the power policy";

// Puts back settings one at a time; one that fails is noted and the rest go on.
class Restorer {
public:
    void PutBack(const std::string& name, const std::function<void()>& action) {
        try {
            action();
        } catch (const std::exception& error) {
            if (leftChanged_.empty()) firstError_ = error.what();
            leftChanged_.push_back(name);
        }
    }

    void PutBackValue(const std::string& name, const engine::SettingValue& setting,
                      const std::optional<engine::RawValue>& recorded) {
        if (!Holds(setting, recorded)) PutBack(name, [&] { engine::PutBackSettingValue(setting, recorded); });
    }

    // Only the schemes that differ are written, then the active scheme is
    // applied again.
    void PutBackLockOnWake(const TSwitchRecord& record) {
        std::vector<engine::SchemeLockOnWake> current;
        try {
            current = engine::VistaReadLockOnWake(record.allSchemes);
        } catch (const std::exception&) {
            // Unknown: every scheme is written.
        }
        bool wrote = false;
        for (auto scheme = record.lockOnWake.rbegin(); scheme != record.lockOnWake.rend(); ++scheme) {
            const auto now = std::find_if(current.begin(), current.end(),
                                          [&](const auto& values) { return values.scheme == scheme->scheme; });
            if (now != current.end() && now->ac == scheme->ac && now->dc == scheme->dc) continue;
            PutBack(SchemeName(scheme->scheme), [&] { engine::VistaWriteLockOnWake(*scheme); });
            wrote = true;
        }
        if (!wrote) return;
        try {
            engine::VistaReapplyActiveScheme();
        } catch (const std::exception&) {
            // As after a switch: the values are written, Windows applies them at the next activation.
        }
    }

    std::vector<std::string> LeftChanged() { return std::move(leftChanged_); }
    const std::string& FirstError() const { return firstError_; }

private:
    // A value that cannot be read counts as changed.
    static bool Holds(const engine::SettingValue& setting, const std::optional<engine::RawValue>& recorded) {
        try {
            return engine::ReadSettingValue(setting) == recorded;
        } catch (const std::exception&) {
            return false;
        }
    }

    std::vector<std::string> leftChanged_;
    std::string firstError_;
};

void PutBackEverySetting(const TSwitchRecord& record, Restorer& restorer) {
    if (record.screenSaver) {
        if (const std::optional<bool> parameter = record.screenSaverParameter)
            restorer.PutBack(kSessionParameterName, [&] {
                if (engine::GetAskPasswordOnScreenSaver() != *parameter) engine::SetScreenSaverParameter(*parameter);
            });
        restorer.PutBackValue("ScreenSaverIsSecure", engine::kScreenSaverIsSecureValue, record.screenSaverIsSecure);
    }
    if (record.resume) {
        if (record.modernStandby)
            restorer.PutBackValue("DelayLockInterval", engine::kDelayLockIntervalValue, record.delayLockInterval);
        if (const std::optional<bool> flag = record.passwordOnResumeFlag)
            restorer.PutBack(kPolicyFlagName, [&] {
                if (engine::GetAskPasswordOnResume() != *flag) engine::SetAskPasswordOnResume(*flag, false);
            });
        restorer.PutBackLockOnWake(record);
    }
    if (record.startup) {
        if (record.autoLogonCountCovered)
            restorer.PutBackValue("AutoLogonCount", engine::kAutoLogonCountValue, record.autoLogonCount);
        restorer.PutBackValue("AutoAdminLogon", engine::kAutoAdminLogonValue, record.autoAdminLogon);
    }
}

// Whether a switch to secure mode removes the stored password: the user's
// option, which a run as SYSTEM does not follow, and a password to remove.
bool ForgetsPassword(settings::TOptions& options, const TSwitchRecord& record) {
    return record.mode == settings::pmSecure && record.startup && options.ForgetPasswordInSecureMode() &&
           !engine::RunsAsLocalSystem() && engine::AutologonPasswordStored();
}

// The recorded schemes' values now, in the record's order; a scheme that is
// gone is left out.
std::vector<engine::SchemeLockOnWake> SchemesNow(const std::vector<engine::SchemeLockOnWake>& recorded) {
    const std::vector<engine::SchemeLockOnWake> all = engine::VistaReadLockOnWake(true);
    std::vector<engine::SchemeLockOnWake> now;
    for (const engine::SchemeLockOnWake& scheme : recorded) {
        const auto found = std::find_if(all.begin(), all.end(), [&](const auto& s) { return s.scheme == scheme.scheme; });
        if (found != all.end()) now.push_back(*found);
    }
    return now;
}

// The record less the session's screen saver setting, which is then not put back.
TSwitchRecord WithoutSessionParameter(TSwitchRecord record) {
    record.screenSaverParameter.reset();
    return record;
}

}  // namespace

ESwitchFailed::ESwitchFailed(const std::string& cause, std::vector<std::string> leftChanged, DWORD causeCode)
    : engine::Exception(FailureMessage(cause, leftChanged)),
      Cause(cause),
      LeftChanged(std::move(leftChanged)),
      CauseCode(causeCode) {}

TSwitchRecord RecordSwitch(settings::TOptions& options, const TCoverage& coverage, settings::TPromptMode mode,
                           bool once) {
    TSwitchRecord record;
    record.mode = mode;
    record.once = once && mode == settings::pmRelaxed;
    record.autoLogonCountCovered = true;
    record.startup = coverage.settings.startup;
    record.resume = coverage.settings.resume;
    record.screenSaver = coverage.settings.screenSaver;
    record.allSchemes = coverage.allSchemes;
    const bool windows6 = engine::IsWindows6OrLater();
    if (record.startup) {
        record.autoAdminLogon = engine::ReadSettingValue(engine::kAutoAdminLogonValue);
        record.autoLogonCount = engine::ReadSettingValue(engine::kAutoLogonCountValue);
        record.forgetsPassword = ForgetsPassword(options, record);
    }
    if (record.resume && windows6) {
        record.lockOnWake = engine::VistaReadLockOnWake(record.allSchemes);
        record.modernStandby = engine::WakeSignInDelayCovered();
        if (record.modernStandby) record.delayLockInterval = engine::ReadSettingValue(engine::kDelayLockIntervalValue);
    } else if (record.resume) {
        record.passwordOnResumeFlag = engine::GetAskPasswordOnResume();
    }
    if (record.screenSaver) {
        record.screenSaverIsSecure = engine::ReadSettingValue(engine::kScreenSaverIsSecureValue);
        if (windows6) record.screenSaverParameter = engine::GetAskPasswordOnScreenSaver();
    }
    return record;
}

void ApplySwitch(const TSwitchRecord& record) {
    try {
        settings::WriteMode(record.mode, {record.startup, record.resume, record.screenSaver}, record.allSchemes);
        if (record.startup) engine::SetAutoLogonCount(record.once ? std::optional<DWORD>(1) : std::nullopt);
        if (record.forgetsPassword) engine::ForgetAutologonPassword();
    } catch (const engine::ESessionLocked& error) {
        throw ESwitchFailed(error.what(), RestoreSwitch(WithoutSessionParameter(record)), error.ErrorCode);
    } catch (const engine::EConsoleUserLeft& error) {
        throw ESwitchFailed(error.what(), RestoreSwitch(WithoutSessionParameter(record)));
    } catch (const engine::EOSError& error) {
        throw ESwitchFailed(error.what(), RestoreSwitch(record), error.ErrorCode);
    } catch (const std::exception& error) {
        throw ESwitchFailed(error.what(), RestoreSwitch(record));
    }
}

std::vector<std::string> RestoreSwitch(const TSwitchRecord& record) {
    Restorer restorer;
    PutBackEverySetting(record, restorer);
    return restorer.LeftChanged();
}

void RestoreSwitchOrRaise(const TSwitchRecord& record, const TSwitchRecord& current) {
    Restorer restorer;
    PutBackEverySetting(record, restorer);
    if (restorer.LeftChanged().empty()) return;
    throw ESwitchFailed(restorer.FirstError(), RestoreSwitch(current));
}

TSwitchRecord ReadRecordedSettings(const TSwitchRecord& record) {
    TSwitchRecord now = record;
    if (record.startup) now.autoAdminLogon = engine::ReadSettingValue(engine::kAutoAdminLogonValue);
    if (record.startup && record.autoLogonCountCovered)
        now.autoLogonCount = engine::ReadSettingValue(engine::kAutoLogonCountValue);
    if (record.resume) {
        if (!record.lockOnWake.empty()) now.lockOnWake = SchemesNow(record.lockOnWake);
        if (record.passwordOnResumeFlag) now.passwordOnResumeFlag = engine::GetAskPasswordOnResume();
        if (record.modernStandby) now.delayLockInterval = engine::ReadSettingValue(engine::kDelayLockIntervalValue);
    }
    if (record.screenSaver) {
        now.screenSaverIsSecure = engine::ReadSettingValue(engine::kScreenSaverIsSecureValue);
        if (record.screenSaverParameter) now.screenSaverParameter = engine::GetAskPasswordOnScreenSaver();
    }
    return now;
}

std::vector<std::string> DifferentSettings(const TSwitchRecord& expected, const TSwitchRecord& now) {
    std::vector<std::string> names;
    if (expected.autoAdminLogon != now.autoAdminLogon) names.push_back("AutoAdminLogon");
    if (expected.autoLogonCount != now.autoLogonCount) names.push_back("AutoLogonCount");
    for (const engine::SchemeLockOnWake& scheme : expected.lockOnWake) {
        const auto found = std::find_if(now.lockOnWake.begin(), now.lockOnWake.end(),
                                        [&](const auto& s) { return s.scheme == scheme.scheme; });
        if (found == now.lockOnWake.end() || found->ac != scheme.ac || found->dc != scheme.dc)
            names.push_back(SchemeName(scheme.scheme));
    }
    if (expected.passwordOnResumeFlag != now.passwordOnResumeFlag) names.push_back(kPolicyFlagName);
    if (expected.delayLockInterval != now.delayLockInterval) names.push_back("DelayLockInterval");
    if (expected.screenSaverIsSecure != now.screenSaverIsSecure) names.push_back("ScreenSaverIsSecure");
    if (expected.screenSaverParameter != now.screenSaverParameter) names.push_back(kSessionParameterName);
    return names;
}

std::string SettingInWords(const std::string& name) {
    static const std::pair<std::string_view, const char*> kWords[] = {
        {"AutoAdminLogon", "automatic logon"},
        {"AutoLogonCount", "the number of automatic logons left (AutoLogonCount)"},
        {kPolicyFlagName, "the password on resume in the power options"},
        {"DelayLockInterval", "when Windows asks for the password again after sleep"},
        {"ScreenSaverIsSecure", "the password after the screen saver"},
        {kSessionParameterName, "the password after the screen saver in the running session"},
    };
    for (const auto& [known, words] : kWords)
        if (name == known) return words;
    try {
        for (const engine::SchemeLockOnWake& scheme : engine::VistaReadLockOnWake(true)) {
            if (SchemeName(scheme.scheme) != name) continue;
            const std::optional<os::WString> plan = engine::PowerPlanName(scheme.scheme);
            if (plan) return "the password on wake in the power plan " + os::ToUtf8(*plan);
        }
    } catch (const std::exception&) {
        // The plans cannot be listed: the name stays as it is.
    }
    return name;
}

}  // namespace switching
