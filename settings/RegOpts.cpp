#include "settings/RegOpts.h"

#include "engine/Exception.h"
#include "engine/Registry.h"

#include <cstring>
#include <random>

namespace settings {
namespace {

os::WString ValueName(const std::string& name) { return os::FromUtf8(name); }

std::optional<std::size_t> FindIdentifier(const std::vector<std::string>& identifiers, std::string_view text) {
    for (std::size_t i = 0; i < identifiers.size(); ++i)
        if (os::EqualsIgnoringCase(identifiers[i], text)) return i;
    return std::nullopt;
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

std::string SetText(const std::vector<std::string>& identifiers, std::int64_t members) {
    std::string text;
    for (std::size_t i = 0; i < identifiers.size() && i < 64; ++i) {
        if (!(members & (std::int64_t{1} << i))) continue;
        if (!text.empty()) text += ',';
        text += identifiers[i];
    }
    return text;
}

// "[a, b]" or "a,b" into a member mask; nullopt when a name is no member.
std::optional<std::int64_t> ParseSet(const std::vector<std::string>& identifiers, std::string_view text) {
    text = TrimBlanks(text);
    if (!text.empty() && text.front() == '[') text.remove_prefix(1);
    if (!text.empty() && text.back() == ']') text.remove_suffix(1);
    std::int64_t members = 0;
    if (TrimBlanks(text).empty()) return members;
    while (true) {
        const auto comma = text.find(',');
        std::optional<std::size_t> member = FindIdentifier(identifiers, TrimBlanks(text.substr(0, comma)));
        if (!member || *member >= 64) return std::nullopt;
        members |= std::int64_t{1} << *member;
        if (comma == std::string_view::npos) return members;
        text.remove_prefix(comma + 1);
    }
}

std::string EnumerationText(const PublishedProperty& property, std::int64_t ordinal) {
    if (ordinal < 0 || static_cast<std::size_t>(ordinal) >= property.identifiers.size()) return std::to_string(ordinal);
    return property.identifiers[static_cast<std::size_t>(ordinal)];
}

// The value as ExportTo hands it on and as the text forms store it.
PropertyValue StoredForm(const PublishedProperty& property, const PropertyValue& value) {
    switch (property.kind) {
    case PropertyKind::Enumeration:
        return os::FromUtf8(EnumerationText(property, std::get<std::int64_t>(value)));
    case PropertyKind::Set:
        return os::FromUtf8(SetText(property.identifiers, std::get<std::int64_t>(value)));
    default:
        return value;
    }
}

[[noreturn]] void InvalidPropertyType() { throw engine::Exception("Invalid property type"); }

std::mt19937& Random() {
    static std::mt19937 generator{std::random_device{}()};
    return generator;
}

}  // namespace

struct TPersistentOptions::Key {
    engine::RegKey key;
    bool readOnly;
    bool created;
};

// While one lives, the values of one operation share the key that the first
// of them opened, instead of opening it each (which is what costs: a trip to
// the registry per open).
class TPersistentOptions::KeyBatch {
public:
    explicit KeyBatch(TPersistentOptions& options) : options_(options), owner_(options.batch_ == nullptr) {
        if (owner_) options_.batch_ = this;
    }
    ~KeyBatch() {
        if (owner_) options_.batch_ = nullptr;
    }
    KeyBatch(const KeyBatch&) = delete;
    KeyBatch& operator=(const KeyBatch&) = delete;

    std::optional<Key> key;
    bool opened = false;

private:
    TPersistentOptions& options_;
    bool owner_;
};

// A value as the key holds it, decoded; `text` is the stored text of an
// enumeration or a set.
struct TPersistentOptions::Stored {
    PropertyValue value;
    std::string text;
};

TPersistentOptions::TPersistentOptions(bool localMachine, os::WString keyPath)
    : localMachine_(localMachine), keyPath_(std::move(keyPath)) {}

void TPersistentOptions::Deleter::operator()(TPersistentOptions* options) const {
    try {
        if (options->SaveOnDestroy()) options->Save();
    } catch (const std::exception&) {
    }
    delete options;
}

// ---------------------------------------------------------------- single values

std::optional<TPersistentOptions::Key> TPersistentOptions::OpenKey() const {
    const HKEY root = localMachine_ ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    try {
        engine::RegKey key;
        if (engine::OpenKey(root, keyPath_.c_str(), KEY_ALL_ACCESS, key) == ERROR_SUCCESS)
            return Key{std::move(key), false, false};
        if (engine::OpenKey(root, keyPath_.c_str(), KEY_READ, key) == ERROR_SUCCESS)
            return Key{std::move(key), true, false};
        if (engine::CreateKey(root, keyPath_.c_str(), KEY_READ, key) == ERROR_SUCCESS)
            return Key{std::move(key), true, true};
    } catch (const std::exception&) {
    }
    return std::nullopt;
}

// Runs `use` with the open key, or with null when it is unavailable. In a
// batch, the key opened for the first value serves the others; but a key
// that had to be created was opened read-only, and the next value opens it
// again, as it would on its own, so that later writes land.
template <typename Use>
auto TPersistentOptions::WithKey(Use use) const -> decltype(use(nullptr)) {
    if (!batch_) {
        std::optional<Key> key = OpenKey();
        return use(key ? &*key : nullptr);
    }
    if (!batch_->opened) {
        batch_->key = OpenKey();
        batch_->opened = true;
    }
    if (batch_->key && batch_->key->created) {
        const Key created = std::move(*batch_->key);
        batch_->key.reset();
        batch_->opened = false;
        return use(&created);
    }
    return use(batch_->key ? &*batch_->key : nullptr);
}

// Runs `read` on the open key. A value stored with the wrong type is treated as
// missing: the property keeps its default, and the next save writes it in its
// proper form.
template <typename Reader>
auto TPersistentOptions::ReadValue(const std::string& name, Reader read) const -> decltype(read(HKEY{}, nullptr)) {
    using Result = decltype(read(HKEY{}, nullptr));
    return WithKey([&](const Key* key) -> Result {
        if (!key) return std::nullopt;
        try {
            return read(key->key.get(), ValueName(name).c_str());
        } catch (const engine::ERegistryException&) {
            return std::nullopt;
        }
    });
}

// Runs `write` on the key when it is open for writing; reports whether it wrote.
template <typename Writer>
bool TPersistentOptions::WriteValue(const std::string& name, Writer write) const {
    return WithKey([&](const Key* key) {
        if (!key || key->readOnly) return false;
        try {
            write(key->key.get(), ValueName(name).c_str());
            return true;
        } catch (const engine::ERegistryException&) {
            return false;
        }
    });
}

std::optional<os::WString> TPersistentOptions::ReadText(const std::string& name) const {
    return ReadValue(name, [](HKEY key, const WCHAR* value) { return engine::ReadString(key, value); });
}

std::optional<DWORD> TPersistentOptions::ReadDword(const std::string& name) const {
    return ReadValue(name, [](HKEY key, const WCHAR* value) { return engine::ReadDword(key, value); });
}

std::optional<std::vector<BYTE>> TPersistentOptions::ReadBinary(const std::string& name, std::size_t length) const {
    return ReadValue(name, [length](HKEY key, const WCHAR* value) -> std::optional<std::vector<BYTE>> {
        std::optional<engine::RawValue> raw = engine::ReadRawValue(key, value);
        if (!raw || raw->type != REG_BINARY || raw->data.size() != length) return std::nullopt;
        return std::move(raw->data);
    });
}

bool TPersistentOptions::WriteText(const std::string& name, os::WStringView text) const {
    return WriteValue(name, [text](HKEY key, const WCHAR* value) { engine::WriteString(key, value, text); });
}

bool TPersistentOptions::WriteDword(const std::string& name, DWORD number) const {
    return WriteValue(name, [number](HKEY key, const WCHAR* value) { engine::WriteDword(key, value, number); });
}

bool TPersistentOptions::WriteBinary(const std::string& name, const void* data, DWORD size) const {
    return WriteValue(name, [=](HKEY key, const WCHAR* value) { engine::WriteBinary(key, value, data, size); });
}

std::optional<engine::RawValue> TPersistentOptions::ReadRaw(const std::string& name) const {
    return ReadValue(name, [](HKEY key, const WCHAR* value) { return engine::ReadRawValue(key, value); });
}

bool TPersistentOptions::DeleteValue(const std::string& name) const {
    return WithKey([&](const Key* key) {
        return key && !key->readOnly && engine::DeleteValue(key->key.get(), ValueName(name).c_str()) == ERROR_SUCCESS;
    });
}

// ---------------------------------------------------------------- load and save

bool TPersistentOptions::Load() {
    const KeyBatch batch(*this);
    bool changed = false;
    for (const PublishedProperty& property : Properties()) {
        lastStored_[property.name] = ReadRaw(property.name);
        if (LoadProperty(property)) changed = true;
    }
    return changed;
}

bool TPersistentOptions::AdoptStoredChanges() {
    const KeyBatch batch(*this);
    bool adopted = false;
    for (const PublishedProperty& property : Properties()) {
        std::optional<engine::RawValue> stored = ReadRaw(property.name);
        std::optional<engine::RawValue>& last = lastStored_[property.name];
        if (stored == last) continue;
        last = std::move(stored);
        LoadProperty(property);
        adopted = true;
    }
    return adopted;
}

// A value that is missing, of another type or of a text that names no
// identifier is not found.
std::optional<TPersistentOptions::Stored> TPersistentOptions::ReadStored(const PublishedProperty& property) const {
    switch (property.kind) {
    case PropertyKind::Integer: {
        std::optional<DWORD> value = ReadDword(property.name);
        if (!value) return std::nullopt;
        return Stored{std::int64_t{static_cast<std::int32_t>(*value)}, {}};
    }
    case PropertyKind::Enumeration: {
        std::optional<os::WString> text = ReadText(property.name);
        if (!text) return std::nullopt;
        std::string stored = os::ToUtf8(*text);
        std::optional<std::size_t> ordinal = FindIdentifier(property.identifiers, stored);
        if (!ordinal) return std::nullopt;
        return Stored{static_cast<std::int64_t>(*ordinal), std::move(stored)};
    }
    case PropertyKind::Float: {
        std::optional<std::vector<BYTE>> bytes = ReadBinary(property.name, sizeof(double));
        if (!bytes) return std::nullopt;
        double value;
        std::memcpy(&value, bytes->data(), sizeof value);
        return Stored{value, {}};
    }
    case PropertyKind::String: {
        std::optional<os::WString> text = ReadText(property.name);
        if (!text) return std::nullopt;
        return Stored{std::move(*text), {}};
    }
    case PropertyKind::Set: {
        std::optional<os::WString> text = ReadText(property.name);
        if (!text) return std::nullopt;
        std::string stored = os::ToUtf8(*text);
        std::optional<std::int64_t> members = ParseSet(property.identifiers, stored);
        if (!members) return std::nullopt;
        return Stored{*members, std::move(stored)};
    }
    case PropertyKind::Int64: {
        std::optional<std::vector<BYTE>> bytes = ReadBinary(property.name, sizeof(std::int64_t));
        if (!bytes) return std::nullopt;
        std::int64_t value;
        std::memcpy(&value, bytes->data(), sizeof value);
        return Stored{value, {}};
    }
    case PropertyKind::Unsupported:
        break;
    }
    InvalidPropertyType();
}

bool TPersistentOptions::LoadProperty(const PublishedProperty& property) {
    const PropertyValue old = property.read(*this);
    std::optional<Stored> stored = ReadStored(property);
    if (!stored) return false;
    property.write(*this, stored->value);
    // An enumeration or a set changes when its text does: "true" for "True" counts.
    switch (property.kind) {
    case PropertyKind::Enumeration:
        return EnumerationText(property, std::get<std::int64_t>(old)) != stored->text;
    case PropertyKind::Set:
        return SetText(property.identifiers, std::get<std::int64_t>(old)) != stored->text;
    default:
        return old != stored->value;
    }
}

bool TPersistentOptions::SaveProperty(const PublishedProperty& property) {
    const PropertyValue value = property.read(*this);
    switch (property.kind) {
    case PropertyKind::Integer:
        return WriteDword(property.name, static_cast<DWORD>(std::get<std::int64_t>(value)));
    case PropertyKind::Enumeration:
    case PropertyKind::Set:
    case PropertyKind::String:
        return WriteText(property.name, std::get<os::WString>(StoredForm(property, value)));
    case PropertyKind::Float: {
        const double number = std::get<double>(value);
        return WriteBinary(property.name, &number, sizeof number);
    }
    case PropertyKind::Int64: {
        const std::int64_t number = std::get<std::int64_t>(value);
        return WriteBinary(property.name, &number, sizeof number);
    }
    case PropertyKind::Unsupported:
        break;
    }
    InvalidPropertyType();
}

void TPersistentOptions::Save(std::string_view propName) {
    const KeyBatch batch(*this);
    bool matched = false;
    notStored_.clear();
    for (const PublishedProperty& property : Properties()) {
        if (!propName.empty() && !os::EqualsIgnoringCase(propName, property.name)) continue;
        matched = true;
        if (SaveProperty(property))
            lastStored_[property.name] = ReadRaw(property.name);
        else
            notStored_.push_back(property.name);
    }
    if (!propName.empty() && !matched) throw engine::Exception("Invalid property name");
}

void TPersistentOptions::SaveOnly(const std::vector<std::string>& propNames) {
    const KeyBatch batch(*this);
    notStored_.clear();
    for (const std::string& name : propNames) {
        const PublishedProperty& property = FindProperty(name);
        if (SaveProperty(property))
            lastStored_[property.name] = ReadRaw(property.name);
        else
            notStored_.push_back(property.name);
    }
}

bool TPersistentOptions::TakeNotStoredNotice() {
    if (notStored_.empty() || notStoredNoticeTaken_) return false;
    notStoredNoticeTaken_ = true;
    return true;
}

bool TPersistentOptions::IsSaved(std::string_view propName) {
    const PublishedProperty& property = FindProperty(propName);
    const std::optional<Stored> stored = ReadStored(property);
    return stored && stored->value == property.read(*this);
}

const PublishedProperty& TPersistentOptions::FindProperty(std::string_view propName) const {
    for (const PublishedProperty& property : Properties())
        if (os::EqualsIgnoringCase(propName, property.name)) return property;
    throw engine::Exception("Invalid property name");
}

void TPersistentOptions::ExportTo(IOptionsExportTarget& target, std::string_view propName) {
    bool matched = false;
    for (const PublishedProperty& property : Properties()) {
        if (!propName.empty() && !os::EqualsIgnoringCase(propName, property.name)) continue;
        matched = true;
        if (property.kind == PropertyKind::Unsupported) InvalidPropertyType();
        target.Invoke(IOptionsExportTarget::kPutPropertyDispId, os::FromUtf8(property.name),
                      StoredForm(property, property.read(*this)));
    }
    if (!propName.empty() && !matched) throw engine::Exception("Invalid property name");
}

HRESULT TPersistentOptions::IsWritable(VARIANT_BOOL* writable) noexcept {
    DWORD probe;
    try {
        probe = std::uniform_int_distribution<DWORD>(0, 2147483646)(Random());
    } catch (...) {
        return E_FAIL;
    }
    return IsWritable(writable, probe);
}

HRESULT TPersistentOptions::IsWritable(VARIANT_BOOL* writable, DWORD probe) noexcept {
    std::string name;
    HRESULT result = S_OK;
    try {
        name = "Test" + std::to_string(probe);
        WriteDword(name, probe);
        // Only a value that was really found counts: a probe of 0 must not pass
        // because nothing could be read.
        std::optional<DWORD> read = ReadDword(name);
        *writable = (read && *read == probe) ? VARIANT_TRUE : VARIANT_FALSE;
    } catch (...) {
        result = E_FAIL;
    }
    try {
        if (!name.empty()) DeleteValue(name);
    } catch (...) {
    }
    return result;
}

}  // namespace settings
