// The messages of the event source "Gatewise", which the installer registers
// with gatewise.exe as their file: Event Viewer formats each event of the
// audit trail with the message of its kind and the event's inserted texts.
#include "audit/Audit.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

// gatewise.exe as the build writes it, one folder above the test programs.
std::wstring BuiltProgram() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder = path;
    return folder.substr(0, folder.find_last_of(L"\\/") + 1) + L"..\\gatewise.exe";
}

// The message `id` of `module` in US English with `texts` inserted, as Event
// Viewer formats it; empty when there is no such message.
std::wstring Formatted(HMODULE module, DWORD id, const wchar_t* const* texts) {
    wchar_t buffer[1024];
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY, module, id,
                       MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), buffer, 1024,
                       reinterpret_cast<va_list*>(const_cast<wchar_t**>(texts)));
    return std::wstring(buffer, length);
}

}  // namespace

TEST(EventMessages, GatewiseExeShowsEveryKindOfEventWithItsFiveTextsInOrder) {
    HMODULE program = LoadLibraryExW(BuiltProgram().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(program, nullptr) << "the build writes gatewise.exe";
    const wchar_t* const texts[] = {L"Password prompting switched from Secure Mode to Relaxed Mode.",
                                    L"User: PC\\alice", L"Program: gatewise.exe (the window)",
                                    L"Settings written: none.", L"Result: done."};
    for (const audit::TChangeKind kind :
         {audit::ckSwitch, audit::ckUndo, audit::ckAccount, audit::ckOptions, audit::ckFix})
        EXPECT_EQ(Formatted(program, kind, texts),
                  L"Password prompting switched from Secure Mode to Relaxed Mode.\r\n\r\nUser: PC\\alice\r\n"
                  L"Program: gatewise.exe (the window)\r\nSettings written: none.\r\nResult: done.")
            << "kind " << int{kind};
    EXPECT_EQ(Formatted(program, audit::ckFix + 1, texts), L"") << "a kind the program does not write";
    FreeLibrary(program);
}
