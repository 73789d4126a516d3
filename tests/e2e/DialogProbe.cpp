// dialog_probe.exe DIALOG ACCOUNT shows one of the program's dialogs as the
// program does, on a simulated machine with Windows' own fonts, and exits
// with the dialog's modal result. DIALOG is verify, autologon or options;
// ACCOUNT local or domain: the logged-on "alice" (password "wonderland") of
// this computer or of the domain CORP. Errors are printed, and give 255.

#include "../windows/SimMachineWithRealGdi.h"
#include "os/Text.h"
#include "settings/Options.h"
#include "shell/SubstFrm.h"
#include "shell/Substitution.h"
#include "toolkit/Application.h"
#include "ui/AutologonDlg.h"
#include "ui/OptionsDlg.h"
#include "ui/VerifyPwdDlg.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <exception>
#include <string>

namespace {

void PrintError(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "dialog_probe: %s\n", e.what());
    } catch (...) {
        std::fputs("dialog_probe: unknown error\n", stderr);
    }
}

int ShowDialog(const std::wstring& dialog) {
    if (dialog == L"verify") return shell::ExecuteModalOrRaise<ui::TdlgVerifyPwd>(nullptr);
    if (dialog == L"autologon") return shell::ExecuteModalOrRaise<ui::TdlgAutologon>(nullptr);
    if (dialog == L"options") return shell::ExecuteModalOrRaise<ui::TdlgOptions>(nullptr);
    throw std::invalid_argument("no dialog named " + os::ToUtf8(dialog));
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        std::fputs("usage: dialog_probe verify|autologon|options local|domain\n", stderr);
        return 255;
    }
    SimMachineWithRealGdi machine;
    if (std::wstring(argv[2]) == L"domain") {
        machine.samAccountName = L"CORP\\alice";
        machine.accounts = {{L"alice", L"CORP", L"wonderland"}};
    }
    os::ScopedMachine scope(machine);
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    toolkit::Application().OnException = PrintError;
    try {
        shell::CreateSubstitutionList();
        toolkit::Application().Title = L"Gatewise";
        settings::CreateGlobalOptions(L"SOFTWARE\\Vantrel\\Gatewise");
        const int result = ShowDialog(argv[1]);
        settings::FreeGlobalOptions();
        shell::FreeSubstitutionList();
        return result;
    } catch (...) {
        PrintError(std::current_exception());
        return 255;
    }
}
