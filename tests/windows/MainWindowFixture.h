#pragma once
// The main window on a simulated machine with real GDI, built from the
// program's stored layout, texts and images. Window is the main window's
// class or one derived from it.

#include "FormTest.h"
#include "SimMachineWithRealGdi.h"
#include "settings/Options.h"
#include "ui/GatewiseMainDlg.h"

#include <objbase.h>

#include <memory>

template <typename Window>
class MainWindowFixture : public FormTest {
protected:
    void SetUp() override {
        FormTest::SetUp();
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    }
    void TearDown() override {
        window.reset();
        ui::FinalizeMainWindowUnit();
        settings::FreeGlobalOptions();
        CoUninitialize();
        FormTest::TearDown();
    }
    // Creates the window as the program does at start-up.
    void Create() {
        settings::CreateGlobalOptions(kOptionsKey);
        ui::InitializeMainWindowUnit();
        window.reset(toolkit::CreateForm<Window>(nullptr));
    }

    static constexpr const wchar_t* kOptionsKey = L"SOFTWARE\\Vantrel\\Gatewise";
    static constexpr const wchar_t* kWinlogon = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
    SimMachineWithRealGdi machine;
    os::ScopedMachine scope{machine};
    std::unique_ptr<Window> window;
};
