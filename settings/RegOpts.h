#pragma once
// TPersistentOptions: an options object whose options are its published
// properties, each stored as one value of a single registry key under the
// property's own name. A descendant declares its properties once, in
// Properties(); the base reads, writes and exports them from that list
// without knowing any name. No registry handle outlives a single operation;
// Load, Save and AdoptStoredChanges open the key once for all their values.

#include "engine/Registry.h"
#include "os/Text.h"
#include "os/WinTypes.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <type_traits>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace settings {

class TPersistentOptions;

// The kinds of published property, and how each is stored:
//   Integer      REG_DWORD, the ordinal
//   Enumeration  REG_SZ, the identifier of the value (a Boolean: "False"/"True")
//   Float        REG_BINARY, 8-byte little-endian IEEE double
//   String       REG_SZ
//   Set          REG_SZ, member identifiers in ordinal order joined by ","
//   Int64        REG_BINARY, 8 bytes little-endian
// Any other kind cannot be stored ("Invalid property type").
enum class PropertyKind { Integer, Enumeration, Float, String, Set, Int64, Unsupported };

// Integer, Enumeration (the ordinal), Set (a bit per member) and Int64 values
// travel as int64_t; Float as double; String as text.
using PropertyValue = std::variant<std::int64_t, double, os::WString>;

struct PublishedProperty {
    std::string name;
    PropertyKind kind;
    std::vector<std::string> identifiers;  // Enumeration and Set: by ordinal
    std::function<PropertyValue(TPersistentOptions&)> read;
    std::function<void(TPersistentOptions&, const PropertyValue&)> write;
};

// The automation object that ExportTo hands the properties to: method 201
// receives a property's name and its value.
class IOptionsExportTarget {
public:
    static constexpr DISPID kPutPropertyDispId = 201;
    virtual ~IOptionsExportTarget() = default;
    virtual void Invoke(DISPID dispId, const os::WString& name, const PropertyValue& value) = 0;
};

class TPersistentOptions {
public:
    virtual ~TPersistentOptions() = default;
    TPersistentOptions(const TPersistentOptions&) = delete;
    TPersistentOptions& operator=(const TPersistentOptions&) = delete;

    bool LocalMachine() const { return localMachine_; }
    const os::WString& KeyPath() const { return keyPath_; }
    bool SaveOnDestroy() const { return saveOnDestroy_; }
    void SetSaveOnDestroy(bool save) { saveOnDestroy_ = save; }

    // Assigns the default of every property.
    virtual void SetDefaults() = 0;
    // Reads every property found in the key; true when any of them changed.
    virtual bool Load();
    // Writes every property, or only the one whose name equals `propName`
    // ignoring case ("Invalid property name" when none does). A value that
    // cannot be written is skipped and listed in NotStored().
    virtual void Save(std::string_view propName = {});
    // Writes only the properties named (ignoring case), as Save does each.
    void SaveOnly(const std::vector<std::string>& propNames);
    // The properties that the last Save could not write (no key, or a key that
    // can only be read): they hold their values in memory only.
    const std::vector<std::string>& NotStored() const { return notStored_; }
    // True the first time it is asked while NotStored() is not empty, so that
    // the user hears of it once.
    bool TakeNotStoredNotice();
    // Takes the stored values that another process changed since this object
    // last loaded or saved them. Values nobody else changed keep what this
    // object holds, also where that could not be stored. True when any
    // property was taken.
    bool AdoptStoredChanges();
    // Whether the key holds the current value of the property named
    // `propName` (ignoring case), as Load would read it: a save that was
    // skipped, or a value changed since by someone else, answers false.
    bool IsSaved(std::string_view propName);
    virtual void ExportTo(IOptionsExportTarget& target, std::string_view propName = {});
    // Probes whether the key can be written. Never raises: S_OK with
    // VARIANT_TRUE / VARIANT_FALSE in *writable, or a failure status.
    virtual HRESULT IsWritable(VARIANT_BOOL* writable) noexcept;
    // The same probe with a chosen number instead of a random one: the value
    // "Test<probe>" is written, read back and deleted.
    HRESULT IsWritable(VARIANT_BOOL* writable, DWORD probe) noexcept;

    // The published properties in declaration order, ancestors' first.
    virtual const std::vector<PublishedProperty>& Properties() const = 0;

    // Runs the destruction steps (save when SaveOnDestroy) and deletes. A
    // destructor cannot report: a save that raises is dropped.
    struct Deleter {
        void operator()(TPersistentOptions* options) const;
    };

protected:
    TPersistentOptions(bool localMachine, os::WString keyPath);

    // Declares a property over the descendant's accessors. The value type is
    // bool, an integer, an enumeration, a set mask, double or os::WString.
    template <typename Owner, typename Value, typename SetArg>
    static PublishedProperty Declare(std::string name, PropertyKind kind, Value (Owner::*get)(),
                                     void (Owner::*set)(SetArg), std::vector<std::string> identifiers = {});

    template <typename Owner>
    static PublishedProperty BooleanProperty(std::string name, bool (Owner::*get)(), void (Owner::*set)(bool)) {
        return Declare(std::move(name), PropertyKind::Enumeration, get, set, {"False", "True"});
    }

private:
    struct Key;
    struct Stored;
    class KeyBatch;
    std::optional<Key> OpenKey() const;
    template <typename Use>
    auto WithKey(Use use) const -> decltype(use(nullptr));
    template <typename Reader>
    auto ReadValue(const std::string& name, Reader read) const -> decltype(read(HKEY{}, nullptr));
    template <typename Writer>
    bool WriteValue(const std::string& name, Writer write) const;
    std::optional<os::WString> ReadText(const std::string& name) const;
    std::optional<DWORD> ReadDword(const std::string& name) const;
    std::optional<std::vector<BYTE>> ReadBinary(const std::string& name, std::size_t length) const;
    bool WriteText(const std::string& name, os::WStringView text) const;
    bool WriteDword(const std::string& name, DWORD value) const;
    bool WriteBinary(const std::string& name, const void* data, DWORD size) const;
    bool DeleteValue(const std::string& name) const;
    std::optional<engine::RawValue> ReadRaw(const std::string& name) const;
    const PublishedProperty& FindProperty(std::string_view propName) const;
    std::optional<Stored> ReadStored(const PublishedProperty& property) const;
    bool LoadProperty(const PublishedProperty& property);
    // Reports whether the value was written.
    bool SaveProperty(const PublishedProperty& property);

    bool localMachine_;
    os::WString keyPath_;
    bool saveOnDestroy_ = true;
    // Each property's value in the key as this object last read or wrote it;
    // nullopt where there was none.
    std::map<std::string, std::optional<engine::RawValue>> lastStored_;
    std::vector<std::string> notStored_;
    bool notStoredNoticeTaken_ = false;
    KeyBatch* batch_ = nullptr;
};

template <typename Options>
using OptionsPtr = std::unique_ptr<Options, TPersistentOptions::Deleter>;

// Creates an options object the way its constructor is meant to run: fields
// first, then the descendant's defaults, then every value found in the key.
template <typename Options, typename... Args>
OptionsPtr<Options> Create(Args&&... args) {
    // Until it is complete, a failure deletes the object without saving it.
    std::unique_ptr<Options> options(new Options(std::forward<Args>(args)...));
    options->SetDefaults();
    options->Load();
    return OptionsPtr<Options>(options.release());
}

namespace detail {

template <typename Value>
PropertyValue ToPropertyValue(const Value& value) {
    if constexpr (std::is_same_v<Value, double> || std::is_same_v<Value, os::WString>)
        return value;
    else
        return static_cast<std::int64_t>(value);
}

template <typename Value>
Value FromPropertyValue(const PropertyValue& value) {
    if constexpr (std::is_same_v<Value, double> || std::is_same_v<Value, os::WString>)
        return std::get<Value>(value);
    else
        return static_cast<Value>(std::get<std::int64_t>(value));
}

}  // namespace detail

template <typename Owner, typename Value, typename SetArg>
PublishedProperty TPersistentOptions::Declare(std::string name, PropertyKind kind, Value (Owner::*get)(),
                                              void (Owner::*set)(SetArg), std::vector<std::string> identifiers) {
    using Stored = std::decay_t<SetArg>;
    return PublishedProperty{
        std::move(name), kind, std::move(identifiers),
        [get](TPersistentOptions& self) { return detail::ToPropertyValue((static_cast<Owner&>(self).*get)()); },
        [set](TPersistentOptions& self, const PropertyValue& value) {
            (static_cast<Owner&>(self).*set)(detail::FromPropertyValue<Stored>(value));
        }};
}

}  // namespace settings
