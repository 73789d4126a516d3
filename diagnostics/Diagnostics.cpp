#include "diagnostics/Diagnostics.h"

#include "diagnostics/AutologonState.h"
#include "diagnostics/SettingsReader.h"
#include "engine/ConsoleUser.h"
#include "engine/Exception.h"
#include "engine/NTSecurity.h"
#include "engine/OsError.h"
#include "engine/Utilities.h"
#include "engine/VistaPower.h"
#include "engine/WindowsVersion.h"
#include "os/WinApi.h"
#include "switching/LastSwitch.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

namespace diagnostics {
namespace {

const WCHAR kWinlogonKey[] = WSTR("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon");
const WCHAR kSystemPolicyKey[] = WSTR("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System");
const WCHAR kPasswordLessKey[] = WSTR("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\PasswordLess\\Device");
const WCHAR kWakePolicyKey[] =
    WSTR("SOFTWARE\\Policies\\Microsoft\\Power\\PowerSettings\\0e796bdb-100d-47d6-a2d5-f7d2daa51f51");
const WCHAR kDesktopKey[] = WSTR("Control Panel\\Desktop");
const WCHAR kDesktopPolicyKey[] = WSTR("Software\\Policies\\Microsoft\\Windows\\Control Panel\\Desktop");
const WCHAR kLogonPolicyKey[] = WSTR("SOFTWARE\\Policies\\Microsoft\\Windows\\System");
const WCHAR kUserWinlogonKey[] = WSTR("Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon");
const WCHAR kUserSystemPolicyKey[] = WSTR("Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System");
const WCHAR kDeviceLockKey[] = WSTR("SOFTWARE\\Microsoft\\PolicyManager\\current\\device\\DeviceLock");
const WCHAR kEasPoliciesKey[] = WSTR("SYSTEM\\CurrentControlSet\\Control\\EAS\\Policies");
const WCHAR kUserArsoKey[] = WSTR("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\UserARSO\\");
const char kWinlogonPath[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";

// BitLocker's key protectors that ask for a PIN before Windows starts.
constexpr ULONG kTpmAndPin = 4;
constexpr ULONG kTpmAndPinAndStartupKey = 6;
constexpr HRESULT kWbemInvalidNamespace = static_cast<HRESULT>(0x8004100E);  // no BitLocker in this Windows
constexpr HRESULT kFveNotActivated = static_cast<HRESULT>(0x80310008);       // the volume is not encrypted

const char kSetAccountFix[] =
    "Set the auto-logon account with its password (Autologon account... in the Commands menu, or "
    "gatewisecmd account set).";

// What the options let a switch change, read once for all checks.
struct Scope {
    bool administrator;
    bool startup;
    bool resume;
    bool screenSaver;
    bool allSchemes;
    bool oneTimeLogon;  // the last switch's automatic logon for the next start only is still to come
};

// The modes whose switch a finding keeps from taking effect: what makes
// Windows ask stops Relaxed Mode, what keeps it from asking stops Secure Mode.
// Only a setting that the options let a switch change can be stopped.
struct Stops {
    bool secure = false;
    bool relaxed = false;
};
Stops StopsRelaxed(bool managed) { return {false, managed}; }
Stops StopsSecure(bool managed) { return {managed, false}; }

// The mode that a warning concerns, when it concerns only one: for a switch
// to the other mode it is information.
enum class Concerns { Both, Secure, Relaxed };

struct Outcome {
    Verdict verdict;
    std::string finding;
    std::string fix;
    Stops stops{};
    Concerns concerns = Concerns::Both;
    bool fixable = false;
};

Outcome Ok(std::string finding, std::string fix = {}) { return {Verdict::Ok, std::move(finding), std::move(fix)}; }

Outcome Concerning(Concerns mode, Outcome outcome) {
    outcome.concerns = mode;
    return outcome;
}

// A finding whose fix Gatewise applies on request (diagnostics/Fixes.h).
Outcome Fixable(Outcome outcome) {
    outcome.fixable = true;
    return outcome;
}

// Something that defeats a switch is a problem when the options let the
// switch change that setting, and only worth a warning otherwise.
Verdict Defeats(bool managed) { return managed ? Verdict::Problem : Verdict::Warning; }

std::string OneLine(std::string text) {
    std::erase(text, '\r');
    std::replace(text.begin(), text.end(), '\n', ' ');
    return text;
}

// "15 minutes", "1 minute", "90 seconds".
std::string Duration(DWORD seconds) {
    if (seconds % 60 != 0) return std::to_string(seconds) + " seconds";
    const DWORD minutes = seconds / 60;
    return std::to_string(minutes) + (minutes == 1 ? " minute" : " minutes");
}

std::string SignInChoice(DWORD seconds) {
    if (seconds == engine::kSignInEveryTime) return "Every Time";
    if (seconds == engine::kSignInNever) return "Never";
    return "after " + Duration(seconds);
}

// ---------------------------------------------------------------- general

Outcome CheckAdministrator(const Scope& scope) {
    if (scope.administrator)
        return Ok("Running with administrator rights: every setting that the options enable can be switched.");
    return {Verdict::Warning,
            "Without administrator rights only the screen saver setting is switched; the start-up and resume "
            "settings are left as they are.",
            "Run the program as an administrator."};
}

// ---------------------------------------------------------------- start-up

// The account as the checks need it: one whose values are not all text
// cannot be checked.
AutologonState ReadCheckedAutologonState() {
    AutologonState state = ReadAutologonState();
    if (!state.unreadable.empty())
        throw engine::ERegistryException("Invalid data type for '" + state.unreadable.front() + "'");
    return state;
}

Outcome CheckAutologonAccount(const Scope& scope) {
    const AutologonState state = ReadCheckedAutologonState();
    if (state.user.empty()) {
        if (!scope.startup) return Ok("No auto-logon account is set; the options leave the start-up setting alone.");
        return {Verdict::Warning, "No auto-logon account is set: Relaxed Mode cannot log Windows on at start-up.",
                kSetAccountFix, StopsRelaxed(scope.startup)};
    }
    const std::string account = "Automatic logon uses " + AccountDisplayName(state.user, state.domain);
    switch (state.password) {
    case PasswordStore::None:
        if (!scope.startup) return Ok(account + ", with no password stored.");
        return {Verdict::Warning,
                account + ", with no password stored: it works only for an account without a password.",
                kSetAccountFix, StopsRelaxed(scope.startup)};
    case PasswordStore::Protected:
        return Ok(account + ", with its password in the protected store.");
    case PasswordStore::Plain:
    case PasswordStore::Both:
        return Ok(account + ", with its password in a plain registry value (see plain-text-password).");
    case PasswordStore::Unknown:
        break;
    }
    return Ok(account + "; whether its password is stored could not be read (it needs administrator rights).");
}

Outcome CheckAutologonUser(const Scope&) {
    const AutologonState state = ReadCheckedAutologonState();
    if (state.user.empty()) return Ok("No auto-logon account is set.");
    const engine::UserAccount current = engine::GetCurrentUserAccount();
    const bool sameDomain = state.domain.empty() || os::EqualsIgnoringCase(state.domain, current.domain);
    const std::string currentName = AccountDisplayName(current.user, current.domain);
    if (os::EqualsIgnoringCase(state.user, current.user) && sameDomain)
        return Ok("Automatic logon signs in the current account, " + currentName + ".");
    return {Verdict::Warning,
            "Automatic logon signs in " + AccountDisplayName(state.user, state.domain) + ", not the current account " +
                currentName + ".",
            "If that is not intended, set the auto-logon account to your own account."};
}

Outcome CheckPlainTextPassword(const Scope&) {
    if (!SettingHasText(HKEY_LOCAL_MACHINE, kWinlogonKey, WSTR("DefaultPassword")))
        return Ok("No plain-text password is stored in the registry.");
    return {Verdict::Problem,
            "The registry value DefaultPassword holds the auto-logon password in plain text, readable by other "
            "programs.",
            "Set the auto-logon account again: its password then goes to the protected store and the plain value "
            "is deleted."};
}

Outcome CheckAutologonCount(const Scope& scope) {
    const std::optional<DWORD> count = ReadSettingDword(HKEY_LOCAL_MACHINE, kWinlogonKey, WSTR("AutoLogonCount"));
    if (!count) return Ok("AutoLogonCount is not set: automatic logon does not switch itself off.");
    if (scope.oneTimeLogon)
        return Ok("AutoLogonCount is " + std::to_string(*count) +
                  ", as the last switch set it: Windows logs on automatically at the next start only, then asks "
                  "again.");
    const std::string finding =
        *count == 0 ? "AutoLogonCount is 0: Windows switches automatic logon off at the next start."
                    : "AutoLogonCount is " + std::to_string(*count) +
                          ": Windows switches automatic logon off after that many automatic logons.";
    return Fixable({Defeats(scope.startup), finding,
                    "Delete the value AutoLogonCount under " + std::string(kWinlogonPath) +
                        " (Fix, or gatewisecmd diagnose --fix autologon-count as an administrator).",
                    StopsRelaxed(scope.startup)});
}

// ForceAutoLogon = "1" logs the auto-logon account back on after each sign-out.
Outcome CheckForceAutologon(const Scope&) {
    if (ReadSettingString(HKEY_LOCAL_MACHINE, kWinlogonKey, WSTR("ForceAutoLogon")) != os::WString(WSTR("1")))
        return Ok("ForceAutoLogon is not set: signing out leaves the computer at the sign-in screen.");
    const std::string what = "ForceAutoLogon is \"1\": Windows logs the auto-logon account back on after each sign-out";
    const std::string fix = "Delete the value ForceAutoLogon under " + std::string(kWinlogonPath) + ".";
    if (!engine::GetAskPasswordOnStartup())
        return Ok(what + ", so signing out does not leave the computer at the sign-in screen.",
                  "If signing out should stop at the sign-in screen: " + fix);
    const AutologonState state = ReadCheckedAutologonState();
    if (state.user.empty()) return Ok(what + " once automatic logon is on; no account is stored now.");
    return Concerning(Concerns::Secure,
                      {Verdict::Warning,
                       what + ". Automatic logon is off, but " + AccountDisplayName(state.user, state.domain) +
                           " is still stored: whatever turns automatic logon on again also keeps it signed in.",
                       fix + " Or clear the stored account (gatewisecmd account clear)."});
}

// A SID in "S-1-5-21-..." form, as kiosk set-ups write AutoLogonSID.
Outcome CheckAutologonSid(const Scope&) {
    const std::optional<os::WString> sid = ReadSettingString(HKEY_LOCAL_MACHINE, kWinlogonKey, WSTR("AutoLogonSID"));
    if (!sid || sid->empty()) return Ok("AutoLogonSID is not set.");
    const AutologonState state = ReadCheckedAutologonState();
    const std::optional<engine::UserAccount> named = engine::AccountOfSid(*sid);
    const bool same = named && !state.user.empty() && os::EqualsIgnoringCase(named->user, state.user) &&
                      (state.domain.empty() || os::EqualsIgnoringCase(named->domain, state.domain));
    const std::string sidName = "AutoLogonSID (" + os::ToUtf8(*sid) + ")";
    if (same) return Ok(sidName + " names the auto-logon account.");
    const std::string stored = state.user.empty() ? std::string("no auto-logon account is set")
                                                  : "the auto-logon account is " +
                                                        AccountDisplayName(state.user, state.domain);
    return {Verdict::Warning,
            sidName + ", which kiosk set-ups write, names " +
                (named ? AccountDisplayName(named->user, named->domain) : std::string("no account of this computer")) +
                ", while " + stored + ": Windows may log on another account than the one Gatewise stores, or none.",
            "If the kiosk set-up is no longer used, delete the value AutoLogonSID under " + std::string(kWinlogonPath) +
                "."};
}

Outcome CheckLogonBanner(const Scope& scope) {
    const bool byPolicy = SettingHasText(HKEY_LOCAL_MACHINE, kSystemPolicyKey, WSTR("legalnoticecaption")) ||
                          SettingHasText(HKEY_LOCAL_MACHINE, kSystemPolicyKey, WSTR("legalnoticetext"));
    const bool byWinlogon = SettingHasText(HKEY_LOCAL_MACHINE, kWinlogonKey, WSTR("LegalNoticeCaption")) ||
                            SettingHasText(HKEY_LOCAL_MACHINE, kWinlogonKey, WSTR("LegalNoticeText"));
    if (!byPolicy && !byWinlogon) return Ok("No logon message stops automatic logon.");
    if (byPolicy)
        return {Defeats(scope.startup),
                "A security policy shows a logon message, which stops automatic logon until someone confirms it.",
                "Clear the policies \"Interactive logon: Message title for users attempting to log on\" and "
                "\"Interactive logon: Message text for users attempting to log on\" (Local Security Policy, "
                "Security Options).",
                StopsRelaxed(scope.startup)};
    // Windows Vista and later show the logon message of the security policy;
    // the older pair under Winlogon may be a leftover without effect there.
    if (engine::IsWindows6OrLater())
        return {Verdict::Warning,
                "LegalNoticeCaption or LegalNoticeText under Winlogon hold a logon message. Windows before Vista "
                "showed it and waited for a click; this Windows shows the security policy's message instead, so it "
                "may have no effect.",
                "If it is a leftover, delete the values LegalNoticeCaption and LegalNoticeText under "
                "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon."};
    return {Defeats(scope.startup),
            "A logon message (LegalNoticeCaption or LegalNoticeText under Winlogon) stops automatic logon until "
            "someone confirms it.",
            "Delete the values LegalNoticeCaption and LegalNoticeText under "
            "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon.",
            StopsRelaxed(scope.startup)};
}

bool PasswordLessSignInRequired() {
    return ReadSettingDword(HKEY_LOCAL_MACHINE, kPasswordLessKey, WSTR("DevicePasswordLessBuildVersion")) == DWORD{2};
}

Outcome CheckPasswordLessSignIn(const Scope& scope) {
    if (!PasswordLessSignInRequired()) return Ok("Password-less sign-in is not enforced.");
    const std::string fix =
        "Let Gatewise turn the requirement off (Fix, or gatewisecmd diagnose --fix password-less-sign-in as an "
        "administrator: it sets DevicePasswordLessBuildVersion to 0), or in Settings, Accounts, Sign-in options, turn "
        "off \"Require Windows Hello sign-in for Microsoft accounts\" (Windows 10) or \"For improved security, only "
        "allow Windows Hello sign-in for Microsoft accounts on this device\" (Windows 11).";
    const std::string enforced = "Windows Hello sign-in is required for Microsoft accounts "
                                 "(DevicePasswordLessBuildVersion = 2)";
    const AutologonState state = ReadCheckedAutologonState();
    if (PasswordLessSignInStops(state.user, state.domain))
        return Fixable({Defeats(scope.startup),
                        enforced + ", and the auto-logon account " + AccountDisplayName(state.user, state.domain) +
                            " is a Microsoft account: Windows does not log it on automatically.",
                        fix, StopsRelaxed(scope.startup)});
    return Fixable({Verdict::Warning, enforced + ": Windows may skip automatic logon of a Microsoft account.", fix});
}

// Policies of a management service (MDM) or of a mail account (Exchange
// ActiveSync) that require a password on this device.
Outcome CheckDeviceLockPolicy(const Scope& scope) {
    const bool mdm = ReadSettingDword(HKEY_LOCAL_MACHINE, kDeviceLockKey, WSTR("DevicePasswordEnabled")) == DWORD{0};
    const bool eas = ReadSettingDword(HKEY_LOCAL_MACHINE, kEasPoliciesKey, WSTR("1")).value_or(0) != 0;
    if (!mdm && !eas) return Ok("No device-lock policy of a management service or mail account requires a password.");
    std::string by;
    if (mdm) by = "a device-lock policy of a management service (DevicePasswordEnabled = 0)";
    if (eas) by += std::string(mdm ? " and " : "") + "an Exchange ActiveSync policy of a mail account";
    std::string finding = "A password is required by " + by + ": Windows does not log on automatically";
    const std::optional<DWORD> idle =
        mdm ? ReadSettingDword(HKEY_LOCAL_MACHINE, kDeviceLockKey, WSTR("MaxInactivityTimeDeviceLock")) : std::nullopt;
    const bool locksWhenIdle = idle.value_or(0) != 0;
    if (locksWhenIdle) finding += ", and it locks the computer after " + Duration(*idle * 60) + " without input";
    const bool managed = scope.startup || (locksWhenIdle && scope.screenSaver);
    return {Defeats(managed), finding + ".",
            "Ask whoever manages the computer: the policy comes with its device management enrolment or with the mail "
            "account that set it, and goes when that is removed.",
            StopsRelaxed(managed)};
}

// Automatic restart sign-on: after an update restart Windows signs the last
// user in by itself and locks the session at once.
Outcome CheckRestartSignOn(const Scope&) {
    if (!engine::IsWindows8Point1OrLater())
        return Ok("This Windows does not sign in by itself after an update restart.");
    if (ReadSettingDword(HKEY_LOCAL_MACHINE, kSystemPolicyKey, WSTR("DisableAutomaticRestartSignOn")) == DWORD{1})
        return Ok("A policy keeps Windows from signing in by itself after an update restart.");
    const std::optional<os::WString> sid = engine::PerUserTargetSid();
    if (sid && ReadSettingDword(HKEY_LOCAL_MACHINE, (kUserArsoKey + *sid).c_str(), WSTR("OptOut")) == DWORD{1})
        return Ok("Windows does not sign this user in by itself after an update restart: they turned it off.");
    return Ok("After an update restart Windows may sign the last user in by itself and lock the session at once, in "
              "either mode; the password is still needed to use it.",
              "To turn it off: in Settings, Accounts, Sign-in options, \"Use my sign-in info to automatically finish "
              "setting up after an update\"; for every user, the policy \"Sign-in and lock last interactive user "
              "automatically after a restart\" (Computer Configuration, Administrative Templates, Windows Components, "
              "Windows Logon Options) set to Disabled.");
}

Outcome CheckBitLockerPin(const Scope& scope) {
    if (!scope.administrator)
        return Ok("Not checked: only an administrator can read whether BitLocker asks for a PIN at start-up.");
    os::WinApi& api = os::Api();
    WCHAR windows[MAX_PATH];
    const UINT length = api.GetSystemWindowsDirectoryW(windows, MAX_PATH);
    if (length < 2 || length >= MAX_PATH) engine::RaiseOsError();
    const os::WString drive(windows, 2);
    for (const ULONG type : {kTpmAndPin, kTpmAndPinAndStartupKey}) {
        BOOL available = FALSE;
        const HRESULT result = api.IsKeyProtectorAvailable(drive.c_str(), type, &available);
        if (result == kWbemInvalidNamespace) return Ok("This Windows has no BitLocker: nothing asks before it starts.");
        if (result == kFveNotActivated) break;
        if (FAILED(result)) {
            char code[16];
            std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(result));
            throw engine::Exception("BitLocker's key protectors could not be read (error " + std::string(code) + ").");
        }
        if (available)
            return Ok("BitLocker asks for its PIN before Windows starts, in either mode; automatic logon follows "
                      "once the PIN is entered.");
    }
    return Ok("BitLocker asks for no PIN before Windows starts from drive " + os::ToUtf8(drive) + ".");
}

// ---------------------------------------------------------------- resume

std::string PolicyValue(const std::optional<DWORD>& index) {
    if (!index) return "not set";
    return *index != 0 ? "asks" : "does not ask";
}

// A policy that asks on mains or on battery stops Relaxed Mode there, one that
// does not ask stops Secure Mode.
Stops StopsByWakePolicy(bool managed, const std::optional<DWORD>& ac, const std::optional<DWORD>& dc) {
    const auto asks = [](const std::optional<DWORD>& index) { return index && *index != 0; };
    const auto doesNotAsk = [](const std::optional<DWORD>& index) { return index && *index == 0; };
    return {managed && (doesNotAsk(ac) || doesNotAsk(dc)), managed && (asks(ac) || asks(dc))};
}

Outcome CheckWakePolicy(const Scope& scope) {
    const std::optional<DWORD> ac = ReadSettingDword(HKEY_LOCAL_MACHINE, kWakePolicyKey, WSTR("ACSettingIndex"));
    const std::optional<DWORD> dc = ReadSettingDword(HKEY_LOCAL_MACHINE, kWakePolicyKey, WSTR("DCSettingIndex"));
    if (!ac && !dc) return Ok("No group policy sets the password on wake.");
    return {Defeats(scope.resume),
            "A group policy sets the password on wake (plugged in: " + PolicyValue(ac) +
                "; on battery: " + PolicyValue(dc) + "), so switching the resume setting does not take effect.",
            "Set the policy \"Require a password when a computer wakes\" to Not Configured (Computer "
            "Configuration, Administrative Templates, System, Power Management, Sleep Settings).",
            StopsByWakePolicy(scope.resume, ac, dc)};
}

Outcome CheckPowerSchemes(const Scope& scope) {
    if (!scope.resume) return Ok("The options leave the resume setting alone.");
    if (!engine::IsWindows6OrLater()) return Ok("This Windows keeps one resume setting for every power plan.");
    if (scope.allSchemes) return Ok("Every power plan is switched (ModifyAllPowerProfiles is on).");

    const std::vector<engine::SchemeLockOnWake> schemes = engine::VistaReadLockOnWake(true);
    const auto active = std::find_if(schemes.begin(), schemes.end(), [](const auto& s) { return s.active; });
    const auto differs = [&](const engine::SchemeLockOnWake& s) {
        return (s.ac != 0) != (active->ac != 0) || (s.dc != 0) != (active->dc != 0);
    };
    const auto differing = active == schemes.end() ? 0 : std::count_if(schemes.begin(), schemes.end(), differs);
    if (differing == 0)
        return Ok("The " + std::to_string(schemes.size()) + " power plans agree on the password on wake.");
    return {Verdict::Warning,
            std::to_string(differing) + " of the " + std::to_string(schemes.size()) +
                " power plans ask differently on wake than the active one; only the active one is switched, so "
                "choosing another power plan brings the other setting back.",
            "Turn on \"Modify all power profiles\" in the options (gatewisecmd options ModifyAllPowerProfiles=True)."};
}

// On a Modern Standby PC, Windows asks on wake by the user's sign-in delay as
// well as by the power setting.
Outcome CheckWakeSignIn(const Scope& scope) {
    if (!engine::HasModernStandby())
        return Ok("This PC has no Modern Standby: the power setting alone decides the password on wake.");
    const char* switchFix = "Switch to the mode you want again: on this PC the switch sets both.";
    std::optional<DWORD> delay;
    try {
        delay = engine::GetWakeSignInDelay();
    } catch (const engine::ERegistryException&) {
        return {Verdict::Warning,
                "DelayLockInterval under HKEY_CURRENT_USER\\Control Panel\\Desktop is not a number, so Windows asks "
                "for the password on every wake.",
                scope.resume ? switchFix
                             : "Choose when to sign in again in Settings, Accounts, Sign-in options (\"If you've been "
                               "away\")."};
    }
    const DWORD seconds = delay.value_or(engine::kSignInEveryTime);
    const std::string choice = "\"If you've been away, when should Windows require you to sign in again?\" is " +
                               SignInChoice(seconds);
    if (!scope.resume) return Ok(choice + "; the options leave the resume setting alone.");
    const bool powerAsks = engine::VistaGetAskPasswordOnResume();
    if ((seconds == engine::kSignInEveryTime && powerAsks) || (seconds == engine::kSignInNever && !powerAsks))
        return Ok(choice + ", in line with the power setting.");
    if (seconds != engine::kSignInEveryTime && seconds != engine::kSignInNever)
        return {Verdict::Warning,
                choice + ": on this Modern Standby PC Windows asks on wake only after that time away, which is "
                         "neither mode.",
                switchFix, Stops{true, true}};
    // Windows asks when either asks: a choice of "Never" beside a power
    // setting that asks changes nothing.
    return {Verdict::Warning,
            choice + " while the power setting " + (powerAsks ? "asks" : "does not ask") +
                " for the password on wake: on this Modern Standby PC Windows asks when either does.",
            switchFix, powerAsks ? Stops{} : StopsRelaxed(true)};
}

Outcome CheckDomainWakeDelay(const Scope& scope) {
    if (!engine::HasModernStandby()) return Ok("This PC has no Modern Standby: the domain's wake rule does not apply.");
    if (!engine::IsDomainMember()) return Ok("This PC is not joined to a domain: the wake sign-in choice is the user's.");
    if (ReadSettingDword(HKEY_LOCAL_MACHINE, kLogonPolicyKey, WSTR("AllowDomainDelayLock")) == DWORD{1})
        return Ok("A policy lets the users of this domain-joined PC choose when to sign in again on wake.");
    return {Defeats(scope.resume),
            "On this domain-joined Modern Standby PC Windows asks for the password on every wake, whatever the user "
            "chose, unless a policy allows the choice: Relaxed Mode cannot take effect on wake.",
            "Enable the policy \"Allow users to select when a password is required when resuming from connected "
            "standby\" (Computer Configuration, Administrative Templates, System, Logon).",
            StopsRelaxed(scope.resume)};
}

// ---------------------------------------------------------------- screen saver

Outcome CheckScreenSaverPolicy(const Scope& scope) {
    const std::optional<os::WString> secure =
        ReadSettingString(HKEY_CURRENT_USER, kDesktopPolicyKey, WSTR("ScreenSaverIsSecure"));
    if (!secure || secure->empty()) return Ok("No group policy sets the screen saver password.");
    const bool asks = *secure != os::WString(WSTR("0"));
    return {Defeats(scope.screenSaver),
            std::string("A group policy makes the screen saver ") + (asks ? "always" : "never") +
                " ask for the password, so switching the screen saver setting does not take effect.",
            "Set the policy \"Password protect the screen saver\" to Not Configured (User Configuration, "
            "Administrative Templates, Control Panel, Personalization).",
            asks ? StopsRelaxed(scope.screenSaver) : StopsSecure(scope.screenSaver)};
}

// A desktop setting as it applies: the policy's value when there is one.
std::optional<os::WString> EffectiveDesktopSetting(const WCHAR* name) {
    std::optional<os::WString> byPolicy = ReadSettingString(HKEY_CURRENT_USER, kDesktopPolicyKey, name);
    if (byPolicy) return byPolicy;
    return ReadSettingString(HKEY_CURRENT_USER, kDesktopKey, name);
}

Outcome CheckScreenSaverInUse(const Scope& scope) {
    if (!scope.screenSaver) return Ok("The options leave the screen saver setting alone.");
    const std::optional<os::WString> active = EffectiveDesktopSetting(WSTR("ScreenSaveActive"));
    const std::optional<os::WString> program = EffectiveDesktopSetting(WSTR("SCRNSAVE.EXE"));
    const char* fix = "Choose a screen saver in the screen saver settings of the Control Panel.";
    if (active == os::WString(WSTR("0")))
        return {Verdict::Warning, "The screen saver is switched off, so its password setting has no effect.", fix};
    if (!program || program->empty())
        return {Verdict::Warning, "No screen saver is chosen, so its password setting has no effect.", fix};
    return Ok("The screen saver " + os::ToUtf8(*program) + " is in use.");
}

Outcome CheckInactivityLimit(const Scope& scope) {
    const std::optional<DWORD> seconds =
        ReadSettingDword(HKEY_LOCAL_MACHINE, kSystemPolicyKey, WSTR("InactivityTimeoutSecs"));
    if (seconds.value_or(0) == 0) return Ok("No machine inactivity limit locks the computer.");
    return {Defeats(scope.screenSaver),
            "The machine inactivity limit (InactivityTimeoutSecs) locks the computer after " + Duration(*seconds) +
                " without input, whatever the screen saver setting says.",
            "Set the policy \"Interactive logon: Machine inactivity limit\" to 0 (Local Security Policy, Security "
            "Options), or ask whoever manages the computer.",
            StopsRelaxed(scope.screenSaver)};
}

Outcome CheckLockDisabled(const Scope&) {
    const bool byUser = ReadSettingDword(HKEY_CURRENT_USER, kUserSystemPolicyKey, WSTR("DisableLockWorkstation")) ==
                        DWORD{1};
    const bool byMachine =
        ReadSettingDword(HKEY_LOCAL_MACHINE, kSystemPolicyKey, WSTR("DisableLockWorkstation")) == DWORD{1};
    if (!byUser && !byMachine) return Ok("No policy keeps the user from locking the computer.");
    return Concerning(Concerns::Secure,
                      {Verdict::Warning,
                       "A policy (\"Remove Lock Computer\", DisableLockWorkstation = 1) keeps the user from locking "
                       "the computer with Windows+L or Ctrl+Alt+Del: in Secure Mode only the screen saver and sleep "
                       "ask for the password of a computer left alone.",
                       "Set the policy \"Remove Lock Computer\" to Not Configured (User Configuration, Administrative "
                       "Templates, System, Ctrl+Alt+Del Options), or ask whoever manages the computer."});
}

Outcome CheckDynamicLock(const Scope&) {
    if (ReadSettingDword(HKEY_CURRENT_USER, kUserWinlogonKey, WSTR("EnableGoodbye")).value_or(0) == 0)
        return Ok("Dynamic Lock is off.");
    return {Verdict::Warning,
            "Dynamic Lock (EnableGoodbye) locks the computer when the phone paired with it goes out of reach, "
            "whatever the mode.",
            "Turn off Dynamic Lock in Settings, Accounts, Sign-in options if the computer should stay unlocked."};
}

// The administrator's policy for Gatewise (settings/Policies.h): what it
// sets, and values it ignores.
Outcome CheckGatewisePolicy(const Scope&) {
    const settings::TPolicies policies = settings::TPolicies::Read();
    std::string inForce;
    for (const settings::TPolicyValue& policy : policies.InForce())
        inForce += (inForce.empty() ? "" : ", ") + policy.name + " = " + (policy.value ? "1" : "0");
    const std::string set = inForce.empty() ? "No Gatewise policy is set." : "Your organization sets " + inForce + ".";
    if (!policies.Problems().empty()) {
        std::string problems;
        for (const std::string& problem : policies.Problems()) problems += " " + problem;
        return {Verdict::Warning, set + problems,
                "Ask your administrator to set each Gatewise policy as a REG_DWORD of 0 or 1 (the Gatewise policy "
                "templates do), or to delete it."};
    }
    if (!policies.RelaxedModeAllowed()) {
        Outcome outcome{Verdict::Warning, set + " " + settings::kRelaxedModeTurnedOffText,
                        "Only your organization can allow it again."};
        outcome.stops = StopsRelaxed(true);
        return Concerning(Concerns::Relaxed, outcome);
    }
    return Ok(set);
}

struct Check {
    const char* id;
    Outcome (*run)(const Scope&);
};

// What each check that can keep a mode from taking effect says of it, for
// the line under the mode and for status: when it keeps Windows asking
// (Relaxed Mode) and when it keeps Windows from asking (Secure Mode).
struct Override {
    const char* id;
    const char* relaxed;
    const char* secure;
};

constexpr Override kOverrides[] = {
    {"autologon-account", "No auto-logon account with its password is stored, so Windows cannot log on by itself.",
     nullptr},
    {"autologon-count", "AutoLogonCount makes Windows turn automatic logon off after a number of logons.", nullptr},
    {"logon-banner", "A logon message stops automatic logon until someone confirms it.", nullptr},
    {"password-less-sign-in",
     "Windows requires Windows Hello sign-in for the auto-logon Microsoft account, so it does not log it on "
     "automatically.",
     nullptr},
    {"device-lock-policy", "A device-lock policy requires a password, so Windows does not log on automatically.",
     nullptr},
    {"wake-policy", "A policy keeps Windows asking for the password on wake.",
     "A policy keeps Windows from asking for the password on wake."},
    {"wake-sign-in", "The sign-in choice in Settings keeps Windows asking for the password on wake.",
     "The sign-in choice in Settings keeps Windows from asking for the password on every wake."},
    {"domain-wake-delay", "On this domain-joined PC Windows asks for the password on every wake.", nullptr},
    {"screen-saver-policy", "A policy keeps Windows asking after the screen saver.",
     "A policy keeps Windows from asking after the screen saver."},
    {"inactivity-limit", "A policy locks the computer after a time without input.", nullptr},
};

constexpr Check kChecks[] = {
    {"administrator", CheckAdministrator},
    {"autologon-account", CheckAutologonAccount},
    {"autologon-user", CheckAutologonUser},
    {"plain-text-password", CheckPlainTextPassword},
    {"autologon-count", CheckAutologonCount},
    {"autologon-sid", CheckAutologonSid},
    {"force-autologon", CheckForceAutologon},
    {"logon-banner", CheckLogonBanner},
    {"password-less-sign-in", CheckPasswordLessSignIn},
    {"device-lock-policy", CheckDeviceLockPolicy},
    {"restart-sign-on", CheckRestartSignOn},
    {"bitlocker-pin", CheckBitLockerPin},
    {"wake-policy", CheckWakePolicy},
    {"power-schemes", CheckPowerSchemes},
    {"wake-sign-in", CheckWakeSignIn},
    {"domain-wake-delay", CheckDomainWakeDelay},
    {"screen-saver-policy", CheckScreenSaverPolicy},
    {"screen-saver-in-use", CheckScreenSaverInUse},
    {"inactivity-limit", CheckInactivityLimit},
    {"lock-disabled", CheckLockDisabled},
    {"dynamic-lock", CheckDynamicLock},
    {"gatewise-policy", CheckGatewisePolicy},
};

// The verdict of a finding for a switch to `target` (pmCustom: to either mode).
Verdict VerdictFor(const Outcome& outcome, settings::TPromptMode target) {
    if (target == settings::pmCustom) return outcome.verdict;
    const bool stopsTarget = target == settings::pmSecure ? outcome.stops.secure : outcome.stops.relaxed;
    if (stopsTarget) return Verdict::Problem;
    if (outcome.stops.secure || outcome.stops.relaxed) return Verdict::Ok;  // only the other mode's concern
    const Concerns targetConcern = target == settings::pmSecure ? Concerns::Secure : Concerns::Relaxed;
    if (outcome.concerns != Concerns::Both && outcome.concerns != targetConcern) return Verdict::Ok;
    return outcome.verdict == Verdict::Problem ? Verdict::Warning : outcome.verdict;
}

Scope ScopeOf(settings::TOptions& options) {
    return {engine::IsAdministrator(), options.AutochangeStartup(), options.AutochangeStandby(),
            options.AutochangeScreenSaver(), options.ModifyAllPowerProfiles(), switching::OneTimeLogonPending(options)};
}

// A check that cannot read what it needs is a warning that says why.
CheckResult Run(const Check& check, const Scope& scope, settings::TPromptMode target) {
    CheckResult result;
    result.id = check.id;
    try {
        Outcome outcome = check.run(scope);
        result.verdict = VerdictFor(outcome, target);
        result.finding = std::move(outcome.finding);
        result.fix = std::move(outcome.fix);
        result.fixable = outcome.fixable && result.verdict != Verdict::Ok;
    } catch (const engine::Exception& e) {
        result.verdict = Verdict::Warning;
        result.finding = "Could not be checked: " + OneLine(e.what());
    }
    return result;
}

int Rank(Verdict verdict) {
    switch (verdict) {
    case Verdict::Problem:
        return 0;
    case Verdict::Warning:
        return 1;
    case Verdict::Ok:
        break;
    }
    return 2;
}

}  // namespace

const char* VerdictName(Verdict verdict) {
    switch (verdict) {
    case Verdict::Warning:
        return "warning";
    case Verdict::Problem:
        return "problem";
    case Verdict::Ok:
        break;
    }
    return "ok";
}

bool PasswordLessSignInStops(const os::WString& user, const os::WString& domain) {
    return !user.empty() && PasswordLessSignInRequired() && engine::IsMicrosoftAccount(user, domain);
}

std::vector<CheckResult> RunDiagnostics(settings::TOptions& options, settings::TPromptMode target) {
    const Scope scope = ScopeOf(options);
    std::vector<CheckResult> results;
    for (const Check& check : kChecks) results.push_back(Run(check, scope, target));
    return results;
}

std::vector<std::string> CheckIds() {
    std::vector<std::string> ids;
    for (const Check& check : kChecks) ids.emplace_back(check.id);
    return ids;
}

CheckResult RunCheck(std::string_view id, settings::TOptions& options, settings::TPromptMode target) {
    for (const Check& check : kChecks)
        if (check.id == id) return Run(check, ScopeOf(options), target);
    throw std::invalid_argument("No check " + std::string(id) + ".");
}

std::vector<CheckResult> ChecksOverriding(settings::TOptions& options, settings::TPromptMode mode) {
    std::vector<CheckResult> overriding;
    if (mode == settings::pmCustom) return overriding;
    const Scope scope = ScopeOf(options);
    for (const Override& override : kOverrides)
        for (const Check& check : kChecks)
            if (check.id == std::string_view(override.id)) {
                CheckResult result = Run(check, scope, mode);
                if (result.verdict == Verdict::Problem) overriding.push_back(std::move(result));
            }
    return overriding;
}

std::string OverrideSummary(std::string_view id, settings::TPromptMode mode) {
    for (const Override& override : kOverrides) {
        if (override.id != id) continue;
        const char* text = mode == settings::pmSecure ? override.secure : override.relaxed;
        if (text) return text;
    }
    return "Check " + std::string(id) + " finds that this mode cannot take effect.";
}

std::string ReportText(std::vector<CheckResult> results, settings::TPromptMode target,
                       const std::function<std::string(std::string_view)>& printable) {
    const auto count = [&](Verdict verdict) {
        return std::count_if(results.begin(), results.end(), [&](const CheckResult& r) { return r.verdict == verdict; });
    };
    const auto problems = count(Verdict::Problem);
    const auto warnings = count(Verdict::Warning);
    SortBySeverity(results);
    std::string text;
    for (const CheckResult& result : results) {
        std::string verdict = VerdictName(result.verdict);
        verdict.resize(9, ' ');
        text += verdict + result.id + "\n         " + printable(result.finding) + '\n';
        if (!result.fix.empty()) text += "         Fix: " + printable(result.fix) + '\n';
    }
    const char* mode = target == settings::pmSecure ? " for Secure Mode" : target == settings::pmRelaxed ? " for Relaxed Mode" : "";
    return text + std::to_string(problems) + (problems == 1 ? " problem, " : " problems, ") + std::to_string(warnings) +
           (warnings == 1 ? " warning" : " warnings") + mode + ".\n";
}

void SortBySeverity(std::vector<CheckResult>& results) {
    std::stable_sort(results.begin(), results.end(),
                     [](const CheckResult& a, const CheckResult& b) { return Rank(a.verdict) < Rank(b.verdict); });
}

bool HasProblem(const std::vector<CheckResult>& results) {
    return std::any_of(results.begin(), results.end(),
                       [](const CheckResult& r) { return r.verdict == Verdict::Problem; });
}

}  // namespace diagnostics
