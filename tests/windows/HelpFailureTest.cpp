// Once the main window's unit has started, help that cannot be shown is
// reported in the program's own message dialog.
#include "FormTest.h"
#include "ModalScript.h"
#include "shell/HelpViewer.h"
#include "toolkit/ExtCtrls.h"
#include "ui/GatewiseMainDlg.h"
#include "ui/InfoDlgEx.h"

namespace {

using namespace toolkit;

using HelpFailure = FormTest;

TEST_F(HelpFailure, NamesTheFileInTheProgramsErrorMessage) {
    ui::InitializeMainWindowUnit();
    ModalScript script;
    script.Then<ui::TdlgKVInfoEx>([](ui::TdlgKVInfoEx& message) {
        EXPECT_EQ(L"Gatewise Help", message.Caption());
        const std::wstring text = message.Get<TControl>(L"lblText").Caption();
        EXPECT_EQ(0u, text.find(L"The help file was not found:<br><br>C:\\nowhere\\missing.chm<br><br>")) << text;
        EXPECT_EQ(LoadIconW(nullptr, IDI_HAND), message.Get<TImage>(L"imgIcon").Icon());
        Click(message.Get<TButton>(L"btnOk"));
    });
    EXPECT_FALSE(shell::ShowHelpTopic(L"C:\\nowhere\\missing.chm", 10010));
    ui::FinalizeMainWindowUnit();
    EXPECT_TRUE(errors.empty());
}

}  // namespace
