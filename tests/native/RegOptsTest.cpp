#include "engine/Exception.h"
#include "settings/RegOpts.h"
#include "MachineTest.h"

#include <cstring>

using settings::PropertyKind;
using settings::PropertyValue;
using settings::TPersistentOptions;

namespace {

constexpr const WCHAR* kKey = WSTR("SOFTWARE\\Test\\Options");

enum Colour { clRed, clGreen, clBlue };

// One property of every storable kind, and one that cannot be stored.
class SampleOptions final : public TPersistentOptions {
public:
    SampleOptions(bool localMachine, os::WString keyPath, bool withUnsupported = false)
        : TPersistentOptions(localMachine, std::move(keyPath)), withUnsupported_(withUnsupported) {}

    void SetDefaults() override {
        ++defaultsApplied;
        count = 3;
        colour = clGreen;
        ratio = 0.5;
        title = WSTR("untitled");
        styles = 0b101;
        big = 1;
        flag = false;
    }

    const std::vector<settings::PublishedProperty>& Properties() const override {
        static const std::vector<settings::PublishedProperty> storable = {
            Declare("Count", PropertyKind::Integer, &SampleOptions::Count, &SampleOptions::SetCount),
            Declare("Colour", PropertyKind::Enumeration, &SampleOptions::GetColour, &SampleOptions::SetColour,
                    {"clRed", "clGreen", "clBlue"}),
            Declare("Ratio", PropertyKind::Float, &SampleOptions::Ratio, &SampleOptions::SetRatio),
            Declare("Title", PropertyKind::String, &SampleOptions::Title, &SampleOptions::SetTitle),
            Declare("Styles", PropertyKind::Set, &SampleOptions::Styles, &SampleOptions::SetStyles,
                    {"fsBold", "fsItalic", "fsUnderline"}),
            Declare("Big", PropertyKind::Int64, &SampleOptions::Big, &SampleOptions::SetBig),
            BooleanProperty("Flag", &SampleOptions::Flag, &SampleOptions::SetFlag),
        };
        static const std::vector<settings::PublishedProperty> withRecord = [] {
            auto list = storable;
            list.push_back(settings::PublishedProperty{
                "Record", PropertyKind::Unsupported, {}, [](TPersistentOptions&) { return PropertyValue(std::int64_t{0}); },
                [](TPersistentOptions&, const PropertyValue&) {}});
            return list;
        }();
        return withUnsupported_ ? withRecord : storable;
    }

    std::int32_t Count() { return count; }
    void SetCount(std::int32_t value) { count = value; }
    Colour GetColour() { return colour; }
    void SetColour(Colour value) { colour = value; }
    double Ratio() { return ratio; }
    void SetRatio(double value) { ratio = value; }
    os::WString Title() { return title; }
    void SetTitle(const os::WString& value) { title = value; }
    std::uint32_t Styles() { return styles; }
    void SetStyles(std::uint32_t value) { styles = value; }
    std::int64_t Big() { return big; }
    void SetBig(std::int64_t value) { big = value; }
    bool Flag() { return flag; }
    void SetFlag(bool value) { flag = value; }

    int defaultsApplied = 0;
    std::int32_t count = 0;
    Colour colour = clRed;
    double ratio = 0;
    os::WString title;
    std::uint32_t styles = 0;
    std::int64_t big = 0;
    bool flag = false;

private:
    bool withUnsupported_;
};

class RecordingTarget final : public settings::IOptionsExportTarget {
public:
    void Invoke(DISPID dispId, const os::WString& name, const PropertyValue& value) override {
        calls.push_back({dispId, os::ToUtf8(name), value});
    }
    struct Call {
        DISPID dispId;
        std::string name;
        PropertyValue value;
    };
    std::vector<Call> calls;
};

std::vector<BYTE> Bytes(const void* data, std::size_t size) {
    const BYTE* bytes = static_cast<const BYTE*>(data);
    return std::vector<BYTE>(bytes, bytes + size);
}

}  // namespace

class RegOptsTest : public MachineTest {
protected:
    settings::OptionsPtr<SampleOptions> CreateSample(bool withUnsupported = false) {
        return settings::Create<SampleOptions>(false, os::WString(kKey), withUnsupported);
    }
    std::optional<os::WString> Text(const WCHAR* name) const { return machine.String(HKEY_CURRENT_USER, kKey, name); }
    const os::sim::RegistryValue* Raw(const WCHAR* name) const { return machine.Value(HKEY_CURRENT_USER, kKey, name); }
};

TEST_F(RegOptsTest, NewKeyLeavesEveryDefaultAndLoadFindsNothingNew) {
    auto options = CreateSample();
    EXPECT_EQ(options->defaultsApplied, 1);
    EXPECT_EQ(options->count, 3);
    EXPECT_EQ(options->title, WSTR("untitled"));
    EXPECT_FALSE(options->Load());
    options->SetSaveOnDestroy(false);
}

TEST_F(RegOptsTest, SaveWritesEveryKindInItsStoredForm) {
    {
        auto options = CreateSample();
        options->count = -7;
        options->colour = clBlue;
        options->ratio = 2.25;
        options->title = WSTR("\u65E5\u672C");
        options->styles = 0b110;
        options->big = 0x0102030405060708;
        options->flag = true;
        options->Save();
        options->SetSaveOnDestroy(false);
    }
    EXPECT_EQ(Raw(WSTR("Count"))->type, DWORD{REG_DWORD});
    EXPECT_EQ(Raw(WSTR("Count"))->data, (std::vector<BYTE>{0xF9, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(Text(WSTR("Colour")), os::WString(WSTR("clBlue")));
    const double ratio = 2.25;
    EXPECT_EQ(Raw(WSTR("Ratio"))->type, DWORD{REG_BINARY});
    EXPECT_EQ(Raw(WSTR("Ratio"))->data, Bytes(&ratio, 8));
    EXPECT_EQ(Text(WSTR("Title")), os::WString(WSTR("\u65E5\u672C")));
    EXPECT_EQ(Text(WSTR("Styles")), os::WString(WSTR("fsItalic,fsUnderline")));
    EXPECT_EQ(Raw(WSTR("Big"))->data, (std::vector<BYTE>{8, 7, 6, 5, 4, 3, 2, 1}));
    EXPECT_EQ(Text(WSTR("Flag")), os::WString(WSTR("True")));
    EXPECT_EQ(Raw(WSTR("Flag"))->type, DWORD{REG_SZ});

    auto reloaded = CreateSample();
    EXPECT_EQ(reloaded->count, -7);
    EXPECT_EQ(reloaded->colour, clBlue);
    EXPECT_EQ(reloaded->ratio, 2.25);
    EXPECT_EQ(reloaded->title, WSTR("\u65E5\u672C"));
    EXPECT_EQ(reloaded->styles, 0b110u);
    EXPECT_EQ(reloaded->big, 0x0102030405060708);
    EXPECT_TRUE(reloaded->flag);
    reloaded->SetSaveOnDestroy(false);
}

TEST_F(RegOptsTest, EnumerationsAreFoundIgnoringCaseButAChangeIsCountedByText) {
    machine.SetString(HKEY_CURRENT_USER, kKey, WSTR("Flag"), WSTR("true"));
    auto options = CreateSample();
    EXPECT_TRUE(options->flag);
    options->flag = true;
    EXPECT_TRUE(options->Load());  // "True" and "true" differ
    machine.SetString(HKEY_CURRENT_USER, kKey, WSTR("Flag"), WSTR("True"));
    EXPECT_FALSE(options->Load());
    options->SetSaveOnDestroy(false);
}

TEST_F(RegOptsTest, UnknownIdentifiersAndMembersLeaveThePropertyAlone) {
    machine.SetString(HKEY_CURRENT_USER, kKey, WSTR("Flag"), WSTR("Yes"));
    machine.SetString(HKEY_CURRENT_USER, kKey, WSTR("Colour"), WSTR("clPink"));
    machine.SetString(HKEY_CURRENT_USER, kKey, WSTR("Styles"), WSTR("[fsBold, fsStrikeOut]"));
    auto options = CreateSample();
    EXPECT_FALSE(options->flag);
    EXPECT_EQ(options->colour, clGreen);
    EXPECT_EQ(options->styles, 0b101u);
    EXPECT_FALSE(options->Load());
    options->SetSaveOnDestroy(false);
}

TEST_F(RegOptsTest, SetsAcceptBracketsBlanksAndTheEmptySet) {
    machine.SetString(HKEY_CURRENT_USER, kKey, WSTR("Styles"), WSTR("[ fsunderline , fsBold ]"));
    auto options = CreateSample();
    EXPECT_EQ(options->styles, 0b101u);
    machine.SetString(HKEY_CURRENT_USER, kKey, WSTR("Styles"), WSTR("[]"));
    EXPECT_TRUE(options->Load());
    EXPECT_EQ(options->styles, 0u);
    options->Save("styles");
    EXPECT_EQ(Text(WSTR("Styles")), os::WString(WSTR("")));
    options->SetSaveOnDestroy(false);
}

TEST_F(RegOptsTest, BinaryValuesAreTakenOnlyAtTheirExactLength) {
    machine.SetRaw(HKEY_CURRENT_USER, kKey, WSTR("Big"), REG_BINARY, {1, 2, 3, 4});
    machine.SetRaw(HKEY_CURRENT_USER, kKey, WSTR("Ratio"), REG_BINARY, {0, 0, 0, 0, 0, 0, 0xF0, 0x3F, 0});
    auto options = CreateSample();
    EXPECT_EQ(options->big, 1);
    EXPECT_EQ(options->ratio, 0.5);
    machine.SetRaw(HKEY_CURRENT_USER, kKey, WSTR("Ratio"), REG_BINARY, {0, 0, 0, 0, 0, 0, 0xF0, 0x3F});
    EXPECT_TRUE(options->Load());
    EXPECT_EQ(options->ratio, 1.0);
    options->SetSaveOnDestroy(false);
}

TEST_F(RegOptsTest, ValuesOfTheWrongTypeKeepTheDefaultAndAreRewrittenBySave) {
    machine.SetString(HKEY_CURRENT_USER, kKey, WSTR("Count"), WSTR("12"));
    machine.SetDword(HKEY_CURRENT_USER, kKey, WSTR("Flag"), 1);
    auto options = CreateSample();
    EXPECT_EQ(options->count, 3);
    EXPECT_FALSE(options->flag);
    options->Save();
    EXPECT_EQ(Raw(WSTR("Count"))->type, DWORD{REG_DWORD});
    EXPECT_EQ(Text(WSTR("Flag")), os::WString(WSTR("False")));
    options->SetSaveOnDestroy(false);
}

TEST_F(RegOptsTest, SaveByNameIgnoresCaseAndAnUnknownNameWritesNothing) {
    auto options = CreateSample();
    options->Save("tItLe");
    EXPECT_TRUE(Text(WSTR("Title")));
    EXPECT_EQ(Raw(WSTR("Count")), nullptr);
    machine.ClearCalls();
    EXPECT_EQ(MessageOf<engine::Exception>([&] { options->Save("NoSuchOption"); }), "Invalid property name");
    EXPECT_EQ(machine.CountCalls("RegSetValueExW"), 0);
    options->SetSaveOnDestroy(false);
}

TEST_F(RegOptsTest, DestroyingSavesEverythingUnlessTold) {
    {
        auto options = CreateSample();
        options->count = 42;
    }
    EXPECT_EQ(Raw(WSTR("Count"))->data, (std::vector<BYTE>{42, 0, 0, 0}));
    {
        auto options = CreateSample();
        options->count = 43;
        options->SetSaveOnDestroy(false);
    }
    EXPECT_EQ(Raw(WSTR("Count"))->data, (std::vector<BYTE>{42, 0, 0, 0}));
}

TEST_F(RegOptsTest, KeyThatCanOnlyBeReadLoadsButSavesNothingSilently) {
    machine.SetString(HKEY_CURRENT_USER, kKey, WSTR("Title"), WSTR("kept"));
    machine.Key(HKEY_CURRENT_USER, kKey).readOnly = true;
    auto options = CreateSample();
    EXPECT_EQ(options->title, WSTR("kept"));
    options->title = WSTR("changed");
    EXPECT_NO_THROW(options->Save());
    EXPECT_EQ(Text(WSTR("Title")), os::WString(WSTR("kept")));
    EXPECT_EQ(machine.CountCalls("RegSetValueExW"), 0);
    EXPECT_NE(Args("RegOpenKeyExW").find("access=0x20019"), std::string::npos);
    options->SetSaveOnDestroy(false);
}

TEST_F(RegOptsTest, IsSavedTellsWhetherTheKeyHoldsTheCurrentValue) {
    auto options = CreateSample();
    options->SetSaveOnDestroy(false);
    const char* const names[] = {"Count", "colour", "Ratio", "Title", "Styles", "Big", "Flag"};
    for (const char* name : names) EXPECT_FALSE(options->IsSaved(name)) << name << ": nothing stored yet";
    options->Save();
    for (const char* name : names) EXPECT_TRUE(options->IsSaved(name)) << name;

    options->title = WSTR("changed");  // not saved
    machine.SetDword(HKEY_CURRENT_USER, kKey, WSTR("Colour"), 2);  // of another type now
    machine.SetString(HKEY_CURRENT_USER, kKey, WSTR("Flag"), WSTR("TRUE"));  // another writer
    EXPECT_FALSE(options->IsSaved("Title"));
    EXPECT_FALSE(options->IsSaved("Colour"));
    EXPECT_FALSE(options->IsSaved("Flag"));
    options->flag = true;
    EXPECT_TRUE(options->IsSaved("Flag")) << "the same value in another letter case";

    machine.Key(HKEY_CURRENT_USER, kKey).readOnly = true;
    options->Save("Title");
    EXPECT_FALSE(options->IsSaved("Title"));
    EXPECT_EQ(MessageOf<engine::Exception>([&] { options->IsSaved("Nothing"); }), "Invalid property name");
}

TEST_F(RegOptsTest, MissingKeyIsCreatedReadOnlyByTheFirstOpenSoOnlyLaterWritesLand) {
    auto options = settings::Create<SampleOptions>(false, os::WString(kKey));
    EXPECT_TRUE(machine.HasKey(HKEY_CURRENT_USER, kKey));
    EXPECT_NE(Args("RegCreateKeyExW").find("access=0x20019"), std::string::npos);
    options->Save();
    EXPECT_TRUE(Text(WSTR("Title")));

    // Within one save too: the value that creates the key is skipped, the
    // ones after it are written.
    machine.Key(HKEY_CURRENT_USER, WSTR("SOFTWARE\\Test")).subkeys.clear();
    options->Save();
    EXPECT_FALSE(Raw(WSTR("Count")));
    EXPECT_TRUE(Text(WSTR("Title")));
    EXPECT_EQ(options->NotStored(), std::vector<std::string>{"Count"});
    options->SetSaveOnDestroy(false);
}

TEST_F(RegOptsTest, LoadSaveAndAdoptOpenTheKeyOnceForAllValues) {
    auto options = CreateSample();
    options->SetSaveOnDestroy(false);
    options->Save();
    machine.ClearCalls();
    options->title = WSTR("changed");
    options->Save();
    EXPECT_EQ(machine.CountCalls("RegOpenKeyExW"), 1);
    EXPECT_EQ(machine.CountCalls("RegSetValueExW"), 7);
    EXPECT_EQ(Text(WSTR("Title")), os::WString(WSTR("changed")));

    machine.SetString(HKEY_CURRENT_USER, kKey, WSTR("Title"), WSTR("elsewhere"));
    machine.ClearCalls();
    EXPECT_TRUE(options->AdoptStoredChanges());
    EXPECT_EQ(options->title, WSTR("elsewhere"));
    machine.ClearCalls();
    EXPECT_FALSE(options->Load());
    EXPECT_EQ(machine.CountCalls("RegOpenKeyExW"), 1);
    EXPECT_EQ(machine.CountCalls("RegCloseKey"), 1);
}

TEST_F(RegOptsTest, KeyUnderTheMachineRootWhenAskedFor) {
    auto options = settings::Create<SampleOptions>(true, os::WString(kKey));
    options->Save("Flag");
    EXPECT_TRUE(machine.String(HKEY_LOCAL_MACHINE, kKey, WSTR("Flag")));
    EXPECT_FALSE(Text(WSTR("Flag")));
    options->SetSaveOnDestroy(false);
}

TEST_F(RegOptsTest, UnsupportedKindIsAnInvalidPropertyType) {
    EXPECT_EQ(MessageOf<engine::Exception>([&] { CreateSample(true)->SetSaveOnDestroy(false); }),
              "Invalid property type");
    auto options = CreateSample();
    options->SetSaveOnDestroy(false);
    SampleOptions withRecord(false, os::WString(kKey), true);
    EXPECT_EQ(MessageOf<engine::Exception>([&] { withRecord.Save(); }), "Invalid property type");
    RecordingTarget target;
    EXPECT_EQ(MessageOf<engine::Exception>([&] { withRecord.ExportTo(target, "Record"); }), "Invalid property type");
}

TEST_F(RegOptsTest, ExportHandsEachPropertyToMethod201InItsStoredForm) {
    auto options = CreateSample();
    options->SetSaveOnDestroy(false);
    RecordingTarget target;
    options->ExportTo(target);
    ASSERT_EQ(target.calls.size(), 7u);
    for (const auto& call : target.calls) EXPECT_EQ(call.dispId, 201);
    EXPECT_EQ(target.calls[0].name, "Count");
    EXPECT_EQ(std::get<std::int64_t>(target.calls[0].value), 3);
    EXPECT_EQ(std::get<os::WString>(target.calls[1].value), WSTR("clGreen"));
    EXPECT_EQ(std::get<double>(target.calls[2].value), 0.5);
    EXPECT_EQ(std::get<os::WString>(target.calls[4].value), WSTR("fsBold,fsUnderline"));
    EXPECT_EQ(std::get<os::WString>(target.calls[6].value), WSTR("False"));

    target.calls.clear();
    options->ExportTo(target, "FLAG");
    ASSERT_EQ(target.calls.size(), 1u);
    EXPECT_EQ(target.calls[0].name, "Flag");
    EXPECT_THROW(options->ExportTo(target, "Nope"), engine::Exception);
}

TEST_F(RegOptsTest, IsWritableProbesAndAlwaysRemovesItsTestValue) {
    auto options = CreateSample();
    options->SetSaveOnDestroy(false);
    VARIANT_BOOL writable = 0;
    EXPECT_EQ(options->IsWritable(&writable), S_OK);
    EXPECT_EQ(writable, VARIANT_TRUE);
    const auto& values = machine.Key(HKEY_CURRENT_USER, kKey).values;
    for (const auto& [name, value] : values) EXPECT_NE(os::ToUtf8(name).rfind("Test", 0), 0u) << os::ToUtf8(name);
    const std::string written = Args("RegSetValueExW");
    EXPECT_EQ(written.rfind("Test", 0), 0u);
    EXPECT_NE(written.find(",type=4,size=4"), std::string::npos);

    machine.Key(HKEY_CURRENT_USER, kKey).readOnly = true;
    EXPECT_EQ(options->IsWritable(&writable), S_OK);
    EXPECT_EQ(writable, VARIANT_FALSE);

    machine.Key(HKEY_CURRENT_USER, kKey).readOnly = false;
    machine.Fail("RegQueryValueExW", ERROR_ACCESS_DENIED);
    EXPECT_EQ(options->IsWritable(&writable), S_OK);
    EXPECT_EQ(writable, VARIANT_FALSE);
    for (const auto& [name, value] : values) EXPECT_NE(os::ToUtf8(name).rfind("Test", 0), 0u);
}

TEST_F(RegOptsTest, ProbeOfZeroThatReadsNothingBackIsNotWritable) {
    auto options = CreateSample();
    options->SetSaveOnDestroy(false);
    VARIANT_BOOL writable = VARIANT_TRUE;
    // The write seems to succeed, but the value is not there to be read back.
    machine.Fail("RegQueryValueExW", ERROR_FILE_NOT_FOUND);
    machine.ClearCalls();
    EXPECT_EQ(options->IsWritable(&writable, 0), S_OK);
    EXPECT_EQ(writable, VARIANT_FALSE);
    EXPECT_EQ(Args("RegSetValueExW").rfind("Test0,", 0), 0u) << Args("RegSetValueExW");

    machine.Fail("RegQueryValueExW", 0, 0, 0);
    EXPECT_EQ(options->IsWritable(&writable, 0), S_OK);
    EXPECT_EQ(writable, VARIANT_TRUE);
    EXPECT_EQ(Args("RegDeleteValueW"), "Test0 | Test0");
}
