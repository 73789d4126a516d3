#include "widgets/GuiUtilities.h"

#include "toolkit/Application.h"
#include "toolkit/ComOnDemand.h"
#include "toolkit/DpiScale.h"
#include "toolkit/ExtCtrls.h"
#include "toolkit/Handles.h"
#include "toolkit/ImageScale.h"
#include "toolkit/PngImage.h"
#include "toolkit/OptionalFunction.h"

#include <cstring>
#include <utility>

namespace widgets {
namespace {

// shell32 is bound on first use: it and the DLLs it brings are not loaded at
// start-up for a command that most sessions never give.
bool ShellExecuteOpen(const std::wstring& address, HWND owner) {
    using Function = HINSTANCE(WINAPI*)(HWND, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, INT);
    static engine::OsFunctionSlot slot;
    auto execute = toolkit::OptionalFunction<Function>(slot, "shell32.dll", "ShellExecuteW");
    if (!execute) return false;
    // Shell extensions that the call may start are COM objects.
    toolkit::StartComOnThisThread();
    const HINSTANCE result = execute(owner, L"open", address.c_str(), L"", L"", SW_SHOW);
    return reinterpret_cast<INT_PTR>(result) > 32;
}

// Global memory for one scope, unless something takes it over.
struct GlobalMemory {
    explicit GlobalMemory(HGLOBAL memory) : handle(memory) {}
    ~GlobalMemory() {
        if (handle) GlobalFree(handle);
    }
    GlobalMemory(const GlobalMemory&) = delete;
    GlobalMemory& operator=(const GlobalMemory&) = delete;
    HGLOBAL handle;
};

// OpenClipboard/CloseClipboard for one scope.
class OpenedClipboard {
public:
    explicit OpenedClipboard(HWND owner) : open_(OpenClipboard(owner) != FALSE) {}
    ~OpenedClipboard() {
        if (open_) CloseClipboard();
    }
    OpenedClipboard(const OpenedClipboard&) = delete;
    OpenedClipboard& operator=(const OpenedClipboard&) = delete;
    explicit operator bool() const { return open_; }

private:
    bool open_;
};

std::wstring WithCrLf(const std::wstring& text) {
    std::wstring result;
    for (wchar_t c : text) {
        if (c == L'\n' && (result.empty() || result.back() != L'\r')) result += L'\r';
        result += c;
    }
    return result;
}

}  // namespace

bool CopyTextToClipboard(HWND owner, const std::wstring& text) {
    const std::wstring lines = WithCrLf(text);
    const std::size_t bytes = (lines.size() + 1) * sizeof(wchar_t);
    GlobalMemory memory(GlobalAlloc(GMEM_MOVEABLE, bytes));
    if (!memory.handle) return false;
    void* target = GlobalLock(memory.handle);
    if (!target) return false;
    std::memcpy(target, lines.c_str(), bytes);
    GlobalUnlock(memory.handle);
    OpenedClipboard clipboard(owner);
    if (!clipboard || !EmptyClipboard()) return false;
    // Once the clipboard takes the memory, it is the clipboard's to free.
    if (!SetClipboardData(CF_UNICODETEXT, memory.handle)) return false;
    memory.handle = nullptr;
    return true;
}

bool OpenURL(const std::wstring& address, HWND owner) {
    toolkit::THourGlass busy;
    return ShellExecuteOpen(address, owner);
}

bool RunSystemProgram(const std::wstring& commandLine) {
    toolkit::THourGlass busy;
    wchar_t folder[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return false;
    const std::size_t space = commandLine.find(L' ');
    const std::wstring program = std::wstring(folder, length) + L"\\" + commandLine.substr(0, space);
    std::wstring line = L"\"" + program + L"\"" + (space == std::wstring::npos ? L"" : commandLine.substr(space));
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    toolkit::KernelHandle processHandle(process.hProcess);
    toolkit::KernelHandle threadHandle(process.hThread);
    return true;
}

toolkit::Picture CreatePNGFromResource(const std::wstring& name, int pixelsPerInch) {
    const HMODULE module = GetModuleHandleW(nullptr);
    const std::wstring resource = L"PNG_" + name;
    const std::string_view design = toolkit::RawResource(module, resource.c_str());
    int width = 0;
    int height = 0;
    // A missing or damaged 100 % picture raises its own error here.
    if (!toolkit::ReadPngSize(design.data(), design.size(), width, height))
        return toolkit::Picture::FromResource(module, resource.c_str());
    width = toolkit::ScaleToDpi(width, pixelsPerInch);
    height = toolkit::ScaleToDpi(height, pixelsPerInch);
    const int percent = toolkit::ImageVariantPercent(pixelsPerInch);
    const std::wstring variant = resource + L"_" + std::to_wstring(percent);
    if (percent == 100 || toolkit::RawResource(module, variant.c_str()).empty())
        return toolkit::Picture::FromResource(module, resource.c_str(), width, height);
    return toolkit::Picture::FromResource(module, variant.c_str(), width, height);
}

void LoadPNGImage(toolkit::TImage& image, const std::wstring& name) {
    image.LoadPicture([name](int pixelsPerInch) { return CreatePNGFromResource(name, pixelsPerInch); });
}

}  // namespace widgets
