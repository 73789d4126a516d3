#include "FormTest.h"
#include "os/Text.h"
#include "shell/Gatewise_IDH.h"
#include "shell/HelpViewer.h"

#include <filesystem>
#include <fstream>

namespace {

using shell::HelpTopicAddress;

const char* const kDialogLayout = R"(object dlgHelpTest: form
  Caption = "Help test"
  ClientSize = 200 100
end
)";

std::wstring ProgramFolder() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder = path;
    return folder.substr(0, folder.find_last_of(L"\\/") + 1);
}

// The help file that the build writes beside gatewise.exe, one folder above
// the test programs.
std::wstring BuiltHelpFile() {
    std::wstring relative = ProgramFolder() + L"..\\gatewise.chm";
    wchar_t full[MAX_PATH] = {};
    GetFullPathNameW(relative.c_str(), MAX_PATH, full, nullptr);
    return full;
}

std::wstring TempFolder(const std::wstring& name) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    std::wstring folder = std::wstring(temp) + name;
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder + L"\\";
}

int ViewerWindows() {
    int count = 0;
    for (HWND window = FindWindowW(L"HH Parent", nullptr); window;
         window = FindWindowExW(nullptr, window, L"HH Parent", nullptr)) {
        ++count;
    }
    return count;
}

class HelpViewerTest : public FormTest {
protected:
    void SetUp() override {
        FormTest::SetUp();
        savedHelpFile_ = toolkit::Application().HelpFile;
        shell::InstallHelpViewer();
        shell::SetHelpFailureHandler([this](HWND, const std::wstring& message) { failures.push_back(message); });
    }
    void TearDown() override {
        shell::CloseHelpViewers();
        Pump();
        shell::SetHelpFailureHandler(nullptr);
        toolkit::Application().OnHelpContents = nullptr;
        toolkit::Application().OnHelpContext = nullptr;
        toolkit::Application().HelpFile = savedHelpFile_;
        FormTest::TearDown();
    }

    // Presses F1 in a form with `context` as its help context.
    void PressF1InForm(int context) {
        auto form = FormFromLayout(kDialogLayout);
        form->HelpContext = context;
        EXPECT_TRUE(form->HandleShortCut(VK_F1));
    }

    std::vector<std::wstring> failures;

private:
    std::wstring savedHelpFile_;
};

TEST_F(HelpViewerTest, EachContextNumberAddressesItsPageAndOtherNumbersTheContents) {
    const std::wstring file = L"C:\\Tools\\gatewise.chm";
    EXPECT_EQ(HelpTopicAddress(file, shell::IDH_MainWindow), file + L"::/main_window.htm");
    EXPECT_EQ(HelpTopicAddress(file, shell::IDH_Options), file + L"::/options.htm");
    EXPECT_EQ(HelpTopicAddress(file, shell::IDH_AutologonAccount), file + L"::/autologon_account.htm");
    EXPECT_EQ(HelpTopicAddress(file, shell::IDH_VerifyPassword), file + L"::/verify_password.htm");
    EXPECT_EQ(HelpTopicAddress(file, 0), file);
    EXPECT_EQ(HelpTopicAddress(file, 10001), file);
}

TEST_F(HelpViewerTest, F1WithoutTheHelpFileTellsWhichFileIsMissing) {
    const std::wstring missing = L"C:\\nowhere\\Ünïcødé Ω 测试\\gatewise.chm";
    toolkit::Application().HelpFile = missing;

    PressF1InForm(shell::IDH_Options);
    PressF1InForm(0);
    toolkit::Application().HelpContents();

    ASSERT_EQ(failures.size(), 3u);
    for (const std::wstring& message : failures) {
        EXPECT_NE(message.find(missing), std::wstring::npos);
        EXPECT_NE(message.find(L"not found"), std::wstring::npos);
    }
    EXPECT_EQ(ViewerWindows(), 0);
    EXPECT_TRUE(errors.empty());
}

TEST_F(HelpViewerTest, AFileTheViewerCannotReadIsReportedAsNotOpened) {
    const std::wstring damaged = TempFolder(L"gatewise help test") + L"damaged.chm";
    std::ofstream(std::filesystem::path(damaged), std::ios::binary) << "not a compiled help file";

    EXPECT_FALSE(shell::ShowHelpTopic(damaged, shell::IDH_Options));

    ASSERT_EQ(failures.size(), 1u);
    EXPECT_NE(failures[0].find(damaged), std::wstring::npos);
    EXPECT_NE(failures[0].find(L"could not open"), std::wstring::npos);
    DeleteFileW(damaged.c_str());
}

TEST_F(HelpViewerTest, TheBuiltHelpOpensAtItsContentsAndAtEveryContextTopicAndClosesWithTheProgram) {
    const std::wstring help = BuiltHelpFile();
    ASSERT_NE(GetFileAttributesW(help.c_str()), INVALID_FILE_ATTRIBUTES) << "the build writes gatewise.chm";

    EXPECT_TRUE(shell::ShowHelpContents(help));
    for (const shell::HelpTopic& topic : shell::HelpTopics) EXPECT_TRUE(shell::ShowHelpTopic(help, topic.context));

    EXPECT_TRUE(failures.empty());
    EXPECT_GE(ViewerWindows(), 1);
    shell::CloseHelpViewers();
    Pump();
    EXPECT_EQ(ViewerWindows(), 0);
}

TEST_F(HelpViewerTest, F1FindsTheHelpInAFolderWithSpacesAndNonAnsiCharacters) {
    const std::wstring folder = TempFolder(L"Ünïcødé Ω 测试");
    const std::wstring help = folder + L"gatewise.chm";
    ASSERT_TRUE(CopyFileW(BuiltHelpFile().c_str(), help.c_str(), FALSE));
    toolkit::Application().HelpFile = help;

    PressF1InForm(shell::IDH_AutologonAccount);

    EXPECT_TRUE(failures.empty()) << (failures.empty() ? "" : os::ToUtf8(failures[0]));
    EXPECT_GE(ViewerWindows(), 1);
    shell::CloseHelpViewers();
    Pump();
    DeleteFileW(help.c_str());
    RemoveDirectoryW(folder.c_str());
}

}  // namespace
