// The program body: the start-up sequence, the message loop and the exit in
// reverse order.

#include "crashreport/ExceptionReporter.h"
#include "engine/LateBinding.h"
#include "resources/StringIds.h"
#include "settings/Options.h"
#include "shell/HelpViewer.h"
#include "shell/ResStrings.h"
#include "shell/SubstFrm.h"
#include "shell/Substitution.h"
#include "toolkit/Application.h"
#include "toolkit/ComOnDemand.h"
#include "ui/GatewiseMainDlg.h"

#include <windows.h>
#include <commctrl.h>

namespace {

void InitializeCommonControls() {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
}

int RunProgram() {
    toolkit::TApplication& application = toolkit::Application();

    shell::InitializeSubstFormUnit();

    crashreport::InstallExceptionReporter();
    application.OnException = [](std::exception_ptr error) { crashreport::ReportException(error); };

    settings::CreateGlobalOptions(shell::ResString(IDS_OPTIONS_KEY));
    ui::InitializeMainWindowUnit();

    application.Title = shell::SubstituteText(shell::ResString(IDS_APPLICATION_TITLE));
    application.HelpFile = shell::HelpFilePath();
    shell::InstallHelpViewer();
    application.MainForm = toolkit::CreateForm<ui::TdlgGatewiseMain>(nullptr);
    application.Run();

    shell::CloseHelpViewers();
    delete application.MainForm;
    ui::FinalizeMainWindowUnit();
    settings::FreeGlobalOptions();
    return 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    engine::RestrictDllSearchToSystemFolder();
    toolkit::ComStartedOnDemand com;
    InitializeCommonControls();
    try {
        return RunProgram();
    } catch (...) {
        toolkit::Application().HandleException(std::current_exception());
        return 1;
    }
}
