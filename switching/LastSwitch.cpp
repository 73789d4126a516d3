#include "switching/LastSwitch.h"

#include "engine/Utilities.h"
#include "engine/WindowsVersion.h"
#include "os/Text.h"

#include <nlohmann/json.hpp>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <cstring>

namespace switching {
namespace {

using Json = nlohmann::ordered_json;

constexpr int kVersion = 1;
const WCHAR kValueName[] = WSTR("LastSwitch");
// A record is a few hundred bytes per power scheme; a larger one was not written by a switch.
constexpr std::size_t kMaxRecordBytes = 32 * 1024;
// The longest text a switch finds in a text setting ("0", "1", a decimal
// DelayLockInterval), terminator included, with room to spare.
constexpr std::size_t kMaxTextBytes = 16 * sizeof(WCHAR);

// Where the record is kept: the options key's value "LastSwitch"; with
// `machineCopy`, the same key and value under HKEY_LOCAL_MACHINE.
class RecordPlace {
public:
    explicit RecordPlace(const settings::TPersistentOptions& options, bool machineCopy = false)
        : path_(options.KeyPath()),
          value_{options.LocalMachine() || machineCopy ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER, path_.c_str(),
                 kValueName} {}
    RecordPlace(const RecordPlace&) = delete;
    RecordPlace& operator=(const RecordPlace&) = delete;
    const engine::SettingValue& Value() const { return value_; }

private:
    os::WString path_;
    engine::SettingValue value_;
};

// Whether a record is kept twice: options under HKEY_CURRENT_USER, which
// their user may write, and a record there that covers a machine-wide setting.
bool KeptTwice(const settings::TPersistentOptions& options, const TSwitchRecord& record) {
    return !options.LocalMachine() && CoversMachineWideSettings(record);
}

std::optional<engine::RawValue> ReadPlace(const settings::TPersistentOptions& options, bool machineCopy) {
    return engine::ReadSettingValue(RecordPlace(options, machineCopy).Value());
}

void WritePlace(const settings::TPersistentOptions& options, bool machineCopy,
                const std::optional<engine::RawValue>& value) {
    engine::PutBackSettingValue(RecordPlace(options, machineCopy).Value(), value);
}

std::string Described(const settings::TPersistentOptions& options) {
    return std::string("The record of the last switch (") + kLastSwitchValue + " under " +
           (options.LocalMachine() ? "HKEY_LOCAL_MACHINE\\" : "HKEY_CURRENT_USER\\") + os::ToUtf8(options.KeyPath()) +
           ")";
}

engine::RawValue TextValue(const std::string& text) {
    const os::WString wide = os::FromUtf8(text);
    engine::RawValue value{REG_SZ, std::vector<BYTE>((wide.size() + 1) * sizeof(WCHAR), 0)};
    std::memcpy(value.data.data(), wide.data(), wide.size() * sizeof(WCHAR));
    return value;
}

// The text of a REG_SZ value, without its terminator.
std::string TextOf(const engine::RawValue& value) {
    os::WString wide(value.data.size() / sizeof(WCHAR), 0);
    std::memcpy(wide.data(), value.data.data(), wide.size() * sizeof(WCHAR));
    if (const auto end = wide.find(WCHAR(0)); end != os::WString::npos) wide.resize(end);
    return os::ToUtf8(wide);
}

std::int64_t Now() {
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// ---------------------------------------------------------------- writing

Json RawJson(const std::optional<engine::RawValue>& value) {
    if (!value) return nullptr;
    std::string hex;
    for (BYTE b : value->data) {
        char digits[3];
        std::snprintf(digits, sizeof digits, "%02x", b);
        hex += digits;
    }
    return Json{{"type", value->type}, {"data", hex}};
}

Json FlagJson(const std::optional<bool>& flag) { return flag ? Json(*flag) : Json(nullptr); }

// The values of the settings the record covers; its coverage is written once, apart.
Json SettingsJson(const TSwitchRecord& record) {
    Json json = Json::object();
    if (record.startup) json["AutoAdminLogon"] = RawJson(record.autoAdminLogon);
    if (record.startup && record.autoLogonCountCovered) json["AutoLogonCount"] = RawJson(record.autoLogonCount);
    if (record.resume) {
        Json schemes = Json::array();
        for (const engine::SchemeLockOnWake& scheme : record.lockOnWake)
            schemes.push_back(
                {{"scheme", os::GuidText(scheme.scheme)}, {"active", scheme.active}, {"ac", scheme.ac}, {"dc", scheme.dc}});
        json["lockOnWake"] = schemes;
        json["passwordOnResume"] = FlagJson(record.passwordOnResumeFlag);
        json["DelayLockInterval"] = RawJson(record.delayLockInterval);
    }
    if (record.screenSaver) {
        json["ScreenSaverIsSecure"] = RawJson(record.screenSaverIsSecure);
        json["screenSaverParameter"] = FlagJson(record.screenSaverParameter);
    }
    return json;
}

// ---------------------------------------------------------------- reading, strictly

struct Damaged {};

void Require(bool condition) {
    if (!condition) throw Damaged{};
}

// An object with exactly the keys `names`.
const Json& Object(const Json& json, std::initializer_list<const char*> names) {
    Require(json.is_object() && json.size() == names.size());
    for (const char* name : names) Require(json.contains(name));
    return json;
}

bool Flag(const Json& json) {
    Require(json.is_boolean());
    return json.get<bool>();
}

std::optional<bool> OptionalFlag(const Json& json) {
    if (json.is_null()) return std::nullopt;
    return Flag(json);
}

DWORD Number(const Json& json) {
    Require(json.is_number_unsigned() && json.get<std::uint64_t>() <= 0xFFFFFFFFu);
    return static_cast<DWORD>(json.get<std::uint64_t>());
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    throw Damaged{};
}

std::optional<engine::RawValue> Raw(const Json& json) {
    if (json.is_null()) return std::nullopt;
    Object(json, {"type", "data"});
    const Json& data = json["data"];
    Require(data.is_string() && data.get_ref<const std::string&>().size() % 2 == 0);
    const std::string& hex = data.get_ref<const std::string&>();
    engine::RawValue value{Number(json["type"]), {}};
    for (std::size_t i = 0; i < hex.size(); i += 2)
        value.data.push_back(static_cast<BYTE>(HexDigit(hex[i]) * 16 + HexDigit(hex[i + 1])));
    return value;
}

GUID Guid(const Json& json) {
    Require(json.is_string());
    const std::string& text = json.get_ref<const std::string&>();
    Require(text.size() == 38 && text.front() == '{' && text.back() == '}');
    GUID guid{};
    std::size_t at = 1;
    const auto take = [&](std::size_t digits) {
        std::uint32_t value = 0;
        for (std::size_t i = 0; i < digits; ++i) value = value * 16 + static_cast<std::uint32_t>(HexDigit(text[at++]));
        return value;
    };
    const auto dash = [&] { Require(text[at++] == '-'); };
    guid.Data1 = take(8);
    dash();
    guid.Data2 = static_cast<WORD>(take(4));
    dash();
    guid.Data3 = static_cast<WORD>(take(4));
    dash();
    for (std::size_t i = 0; i < 8; ++i) {
        if (i == 2) dash();
        guid.Data4[i] = static_cast<BYTE>(take(2));
    }
    return guid;
}

// A REG_SZ value short enough for the setting, ending in its terminator.
bool IsShortText(const engine::RawValue& value) {
    const std::vector<BYTE>& data = value.data;
    return value.type == REG_SZ && data.size() % sizeof(WCHAR) == 0 && data.size() >= sizeof(WCHAR) &&
           data.size() <= kMaxTextBytes && data[data.size() - 1] == 0 && data[data.size() - 2] == 0;
}

bool IsDword(const engine::RawValue& value) { return value.type == REG_DWORD && value.data.size() == sizeof(DWORD); }

// Text of decimal digits alone.
bool IsDecimalText(const engine::RawValue& value) {
    if (!IsShortText(value) || value.data.size() == sizeof(WCHAR)) return false;
    for (std::size_t i = 0; i + sizeof(WCHAR) < value.data.size(); i += sizeof(WCHAR))
        if (value.data[i + 1] != 0 || value.data[i] < '0' || value.data[i] > '9') return false;
    return true;
}

// A value as a switch could have found it: AutoAdminLogon and
// ScreenSaverIsSecure short text; AutoLogonCount and DelayLockInterval a
// DWORD or short decimal text; any of them missing.
std::optional<engine::RawValue> ShortTextSetting(const Json& json) {
    std::optional<engine::RawValue> value = Raw(json);
    Require(!value || IsShortText(*value));
    return value;
}

std::optional<engine::RawValue> NumberSetting(const Json& json) {
    std::optional<engine::RawValue> value = Raw(json);
    Require(!value || IsDword(*value) || IsDecimalText(*value));
    return value;
}

DWORD WakeValue(const Json& json) {
    const DWORD value = Number(json);
    Require(value <= 1);
    return value;
}

// Fills the values of the settings that `record` covers.
void ReadSettings(const Json& json, TSwitchRecord& record) {
    std::vector<const char*> names;
    if (record.startup) names.push_back("AutoAdminLogon");
    if (record.startup && record.autoLogonCountCovered) names.push_back("AutoLogonCount");
    if (record.resume) names.insert(names.end(), {"lockOnWake", "passwordOnResume", "DelayLockInterval"});
    if (record.screenSaver) names.insert(names.end(), {"ScreenSaverIsSecure", "screenSaverParameter"});
    Require(json.is_object() && json.size() == names.size());
    for (const char* name : names) Require(json.contains(name));

    if (record.startup) record.autoAdminLogon = ShortTextSetting(json["AutoAdminLogon"]);
    if (record.startup && record.autoLogonCountCovered) record.autoLogonCount = NumberSetting(json["AutoLogonCount"]);
    if (record.resume) {
        const Json& schemes = json["lockOnWake"];
        Require(schemes.is_array());
        for (const Json& scheme : schemes) {
            Object(scheme, {"scheme", "active", "ac", "dc"});
            record.lockOnWake.push_back(
                {Guid(scheme["scheme"]), Flag(scheme["active"]), WakeValue(scheme["ac"]), WakeValue(scheme["dc"])});
        }
        record.passwordOnResumeFlag = OptionalFlag(json["passwordOnResume"]);
        record.delayLockInterval = NumberSetting(json["DelayLockInterval"]);
        Require(record.modernStandby || !record.delayLockInterval);
    }
    if (record.screenSaver) {
        record.screenSaverIsSecure = ShortTextSetting(json["ScreenSaverIsSecure"]);
        record.screenSaverParameter = OptionalFlag(json["screenSaverParameter"]);
    }
}

// The resume setting as this Windows keeps it: the power schemes' values
// from Windows 6 on, the global power policy's flag before.
void RequireThisPcsResumeSetting(const TSwitchRecord& record) {
    if (engine::IsWindows6OrLater()) Require(!record.passwordOnResumeFlag);
    else Require(record.lockOnWake.empty() && !record.screenSaverParameter);
}

TLastSwitch ReadRecord(const Json& json) {
    Require(json.is_object() && json.contains("version"));
    Require(json["version"] == kVersion);
    const bool finished = json.contains("after");
    Require(json.size() == (finished ? 6u : 5u));
    for (const char* name : {"time", "mode", "covers", "before"}) Require(json.contains(name));

    TLastSwitch last;
    // Up to the end of the year 3000, the last that the C runtime of Windows converts.
    Require(json["time"].is_number_integer() && json["time"].get<std::int64_t>() >= 0 &&
            json["time"].get<std::int64_t>() <= 32503679999);
    last.time = json["time"].get<std::int64_t>();
    TSwitchRecord& before = last.before;
    const Json& mode = json["mode"];
    Require(mode == "secure" || mode == "relaxed");
    before.mode = mode == "secure" ? settings::pmSecure : settings::pmRelaxed;
    // Records before one-time switches and forgotten passwords cover neither
    // (nor AutoLogonCount).
    const Json& covers = json["covers"].contains("once")
                             ? Object(json["covers"], {"startup", "resume", "screenSaver", "allSchemes",
                                                       "modernStandby", "once", "forgetsPassword"})
                             : Object(json["covers"], {"startup", "resume", "screenSaver", "allSchemes", "modernStandby"});
    before.autoLogonCountCovered = covers.contains("once");
    if (before.autoLogonCountCovered) {
        before.once = Flag(covers["once"]);
        before.forgetsPassword = Flag(covers["forgetsPassword"]);
    }
    before.startup = Flag(covers["startup"]);
    before.resume = Flag(covers["resume"]);
    before.screenSaver = Flag(covers["screenSaver"]);
    before.allSchemes = Flag(covers["allSchemes"]);
    before.modernStandby = Flag(covers["modernStandby"]);

    // What this PC does not have was never recorded here.
    Require(!before.modernStandby || (before.resume && engine::WakeSignInDelayCovered()));
    TSwitchRecord coverage = before;
    ReadSettings(json["before"], before);
    RequireThisPcsResumeSetting(before);
    if (finished) {
        last.after = coverage;
        ReadSettings(json["after"], *last.after);
        RequireThisPcsResumeSetting(*last.after);
    }
    return last;
}

std::string TimeText(std::int64_t time, const char* format, bool local) {
    const std::time_t seconds = static_cast<std::time_t>(time);
    const std::tm* parts = local ? std::localtime(&seconds) : std::gmtime(&seconds);
    char text[32];
    if (!parts || !std::strftime(text, sizeof text, format, parts)) return std::to_string(time);
    return text;
}

}  // namespace

std::string LastSwitchText(const TLastSwitch& last) {
    const TSwitchRecord& before = last.before;
    Json json{{"version", kVersion},
              {"time", last.time},
              {"mode", before.mode == settings::pmSecure ? "secure" : "relaxed"},
              {"covers",
               {{"startup", before.startup},
                {"resume", before.resume},
                {"screenSaver", before.screenSaver},
                {"allSchemes", before.allSchemes},
                {"modernStandby", before.modernStandby}}},
              {"before", SettingsJson(before)}};
    if (before.autoLogonCountCovered) {
        json["covers"]["once"] = before.once;
        json["covers"]["forgetsPassword"] = before.forgetsPassword;
    }
    if (last.after) json["after"] = SettingsJson(*last.after);
    return json.dump();
}

std::optional<TLastSwitch> ParseLastSwitch(const std::string& text) {
    const Json json = Json::parse(text, nullptr, false);
    if (json.is_discarded()) return std::nullopt;
    try {
        return ReadRecord(json);
    } catch (const Damaged&) {
        return std::nullopt;
    }
}

TStoredSwitch ReadLastSwitch(const settings::TPersistentOptions& options) {
    std::optional<engine::RawValue> value;
    try {
        value = engine::ReadSettingValue(RecordPlace(options).Value());
    } catch (const std::exception& error) {
        return {std::nullopt, Described(options) + " could not be read: " + error.what()};
    }
    if (!value) return {};
    if (value->type != REG_SZ) return {std::nullopt, Described(options) + " is not text, so it was not used."};
    std::optional<TLastSwitch> last =
        value->data.size() <= kMaxRecordBytes ? ParseLastSwitch(TextOf(*value)) : std::nullopt;
    if (!last) return {std::nullopt, Described(options) + " is damaged or of another version, so it was not used."};
    bool confirmed = true;
    if (KeptTwice(options, last->before)) {
        try {
            confirmed = ReadPlace(options, true) == value;
        } catch (const std::exception&) {
            confirmed = false;
        }
    }
    return {std::move(last), {}, confirmed};
}

bool CoversMachineWideSettings(const TSwitchRecord& record) {
    return record.startup || !record.lockOnWake.empty() || record.passwordOnResumeFlag.has_value();
}

bool ForgetLastSwitch(const settings::TPersistentOptions& options, const TLastSwitch& last) {
    if (ReadLastSwitch(options).last != last) return true;
    try {
        if (KeptTwice(options, last.before) && ReadPlace(options, true) == TextValue(LastSwitchText(last)))
            WritePlace(options, true, std::nullopt);
        WritePlace(options, false, std::nullopt);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

TSwitchJournal::TSwitchJournal(const settings::TPersistentOptions& options, const TSwitchRecord& record)
    : options_(options), last_{record, std::nullopt, Now()}, twice_(KeptTwice(options, record)) {
    try {
        previous_ = ReadPlace(options, false);
        if (twice_) previousMachineCopy_ = ReadPlace(options, true);
        written_ = TextValue(LastSwitchText(last_));
        Write(written_);
        stored_ = true;
    } catch (const std::exception&) {
        // The switch goes on without a record; Complete says so.
        try {
            Write(previous_, previousMachineCopy_);
        } catch (const std::exception&) {
            // Without its copy the record is not undone.
        }
    }
}

void TSwitchJournal::Write(const std::optional<engine::RawValue>& value) { Write(value, value); }

void TSwitchJournal::Write(const std::optional<engine::RawValue>& value,
                           const std::optional<engine::RawValue>& machineCopy) {
    if (twice_) WritePlace(options_, true, machineCopy);
    WritePlace(options_, false, value);
}

TSwitchJournal::~TSwitchJournal() {
    if (!ended_) Withdraw();
}

bool TSwitchJournal::StillOwnRecord() const {
    try {
        return stored_ && ReadPlace(options_, false) == written_ && (!twice_ || ReadPlace(options_, true) == written_);
    } catch (const std::exception&) {
        return false;
    }
}

void TSwitchJournal::Withdraw() {
    ended_ = true;
    if (!StillOwnRecord()) return;
    try {
        Write(previous_, previousMachineCopy_);
    } catch (const std::exception&) {
        // The record of this switch stays; undo then finds that it changed nothing.
    }
}

bool TSwitchJournal::Complete(const TSwitchRecord& after) {
    ended_ = true;
    if (!StillOwnRecord()) return false;
    last_.after = after;
    try {
        Write(TextValue(LastSwitchText(last_)));
        return true;
    } catch (const std::exception&) {
        try {
            Write(std::nullopt);
        } catch (const std::exception&) {
            // An unfinished record stays, which undo does only when forced.
        }
        return false;
    }
}

bool OneTimeLogonPending(const settings::TPersistentOptions& options) {
    return OneTimeLogonPending(ReadLastSwitch(options).last);
}

bool OneTimeLogonPending(const std::optional<TLastSwitch>& last) {
    if (!last || !last->before.once || !last->after) return false;
    const TSwitchRecord& after = *last->after;
    try {
        return engine::ReadSettingValue(engine::kAutoLogonCountValue) == after.autoLogonCount &&
               engine::ReadSettingValue(engine::kAutoAdminLogonValue) == after.autoAdminLogon;
    } catch (const std::exception&) {
        return false;
    }
}

std::string LocalTimeText(std::int64_t time) { return TimeText(time, "%Y-%m-%d %H:%M", true); }

std::string UtcTimeText(std::int64_t time) { return TimeText(time, "%Y-%m-%dT%H:%M:%SZ", false); }

}  // namespace switching
