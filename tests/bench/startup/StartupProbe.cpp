// startup_probe.exe: measures programs from outside, as a user meets them.
//
//   startup_probe [--yardsticks K] RUNS PROGRAM...
//       Starts the programs in turn, one round of warm-up and then RUNS
//       rounds. Each start is timed from CreateProcess to the first visible
//       top-level window of the new process titled "Gatewise" ("window"),
//       and to the moment its thread first waits for input with that window
//       shown and painted ("idle"). Half a second later its working set and
//       private bytes are read with GetProcessMemoryInfo; then the window is
//       closed. Prints the median of each figure per program with its
//       minimum and maximum, and the ratios of the medians of every program
//       to those of each of the first K (1 by default), the yardsticks.
//   startup_probe --size PROGRAM...
//       Prints each file's size and its size without its PNG_ images.
//
// Exit code 0 when every start showed its window, 1 otherwise, 2 for usage.

#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr wchar_t kTitle[] = L"Gatewise";
constexpr DWORD kWindowPatienceMs = 30000;
constexpr DWORD kSettleMs = 500;

struct Start {
    double windowMs = 0;
    double idleMs = 0;
    double workingSet = 0;  // bytes
    double privateBytes = 0;
};

struct Program {
    std::wstring path;
    std::vector<Start> starts;
};

double Now() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

struct WindowSearch {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK CheckWindow(HWND window, LPARAM lParam) {
    auto* search = reinterpret_cast<WindowSearch*>(lParam);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId != search->processId || !IsWindowVisible(window)) return TRUE;
    wchar_t title[64] = {};
    GetWindowTextW(window, title, 64);
    if (std::wcscmp(title, kTitle) != 0) return TRUE;
    search->found = window;
    return FALSE;
}

HWND VisibleWindowOf(DWORD processId) {
    WindowSearch search{processId, nullptr};
    EnumWindows(CheckWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::wstring FileName(const std::wstring& path) { return path.substr(path.find_last_of(L"\\/") + 1); }

bool Measure(const std::wstring& path, Start& start) {
    std::wstring commandLine = L"\"" + path + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    const double begin = Now();
    if (!CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        std::fwprintf(stderr, L"startup_probe: cannot start %ls (error %lu)\n", path.c_str(), GetLastError());
        return false;
    }
    HWND window = nullptr;
    while (!window && Now() - begin < kWindowPatienceMs) {
        window = VisibleWindowOf(process.dwProcessId);
        if (!window) {
            if (WaitForSingleObject(process.hProcess, 1) == WAIT_OBJECT_0) break;
        }
    }
    bool shown = window != nullptr;
    if (shown) {
        start.windowMs = Now() - begin;
        WaitForInputIdle(process.hProcess, kWindowPatienceMs);
        start.idleMs = Now() - begin;
        Sleep(kSettleMs);
        // PagefileUsage is the commit charge, the process's private bytes
        // (Wine leaves PrivateUsage of the longer structure out).
        PROCESS_MEMORY_COUNTERS memory{};
        memory.cb = sizeof(memory);
        if (GetProcessMemoryInfo(process.hProcess, &memory, sizeof(memory))) {
            start.workingSet = static_cast<double>(memory.WorkingSetSize);
            start.privateBytes = static_cast<double>(memory.PagefileUsage);
        }
        PostMessageW(window, WM_CLOSE, 0, 0);
    } else {
        std::fwprintf(stderr, L"startup_probe: %ls showed no window titled \"%ls\"\n", path.c_str(), kTitle);
    }
    if (WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0) {
        std::fwprintf(stderr, L"startup_probe: %ls did not end when its window closed\n", path.c_str());
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, 10000);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return shown;
}

// A figure over all starts of a program: its median, minimum and maximum.
struct Spread {
    double median;
    double min;
    double max;
};

Spread SpreadOf(const std::vector<Start>& starts, double Start::*field) {
    std::vector<double> values;
    for (const Start& start : starts) values.push_back(start.*field);
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    const double median = values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
    return {median, values.front(), values.back()};
}

double Median(const std::vector<Start>& starts, double Start::*field) { return SpreadOf(starts, field).median; }

constexpr double kMegabyte = 1024.0 * 1024.0;

double Megabytes(double bytes) { return bytes / kMegabyte; }

// The spread of a figure in `unit`s, right-aligned in a column `width` wide.
void PrintSpread(const Spread& spread, double unit, int width, const wchar_t* format) {
    wchar_t text[64];
    std::swprintf(text, 64, format, spread.median / unit, spread.min / unit, spread.max / unit);
    std::wprintf(L" %*ls", width, text);
}

void PrintRatios(const Program& base, const std::vector<Program>& programs) {
    std::wprintf(L"\nRatios to %ls:\n", FileName(base.path).c_str());
    for (const Program& program : programs) {
        if (&program == &base) continue;
        auto ratio = [&](double Start::*field) { return Median(program.starts, field) / Median(base.starts, field); };
        std::wprintf(L"  %-22ls %9.2fx %9.2fx %12.2fx %12.2fx\n", FileName(program.path).c_str(),
                     ratio(&Start::windowMs), ratio(&Start::idleMs), ratio(&Start::workingSet),
                     ratio(&Start::privateBytes));
    }
}

int RunStarts(int rounds, std::size_t yardsticks, std::vector<Program>& programs) {
    for (int round = 0; round <= rounds; ++round) {
        for (Program& program : programs) {
            Start start;
            if (!Measure(program.path, start)) return 1;
            if (round == 0) continue;  // warm-up: the first start of a program fills Wine's caches
            program.starts.push_back(start);
            std::wprintf(L"  %2d %-22ls window %7.1f ms  idle %7.1f ms  working set %6.1f MB  private %6.1f MB\n",
                         round, FileName(program.path).c_str(), start.windowMs, start.idleMs,
                         Megabytes(start.workingSet), Megabytes(start.privateBytes));
        }
    }
    std::wprintf(L"\nMedians of %d starts each, (minimum-maximum):\n", rounds);
    std::wprintf(L"  %-22ls %23ls %23ls %19ls %19ls\n", L"program", L"window ms", L"idle ms", L"working set MB",
                 L"private bytes MB");
    for (const Program& program : programs) {
        std::wprintf(L"  %-22ls", FileName(program.path).c_str());
        for (double Start::*field : {&Start::windowMs, &Start::idleMs})
            PrintSpread(SpreadOf(program.starts, field), 1, 23, L"%7.1f (%6.1f-%6.1f)");
        for (double Start::*field : {&Start::workingSet, &Start::privateBytes})
            PrintSpread(SpreadOf(program.starts, field), kMegabyte, 19, L"%5.1f (%4.1f-%4.1f)");
        std::wprintf(L"\n");
    }
    for (std::size_t i = 0; i < yardsticks && i < programs.size(); ++i) PrintRatios(programs[i], programs);
    std::fflush(stdout);
    return 0;
}

BOOL CALLBACK AddImageSize(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR total) {
    if (IS_INTRESOURCE(name) || std::wcsncmp(name, L"PNG_", 4) != 0) return TRUE;
    if (HRSRC resource = FindResourceW(module, name, type))
        *reinterpret_cast<DWORD*>(total) += SizeofResource(module, resource);
    return TRUE;
}

int PrintSizes(int count, wchar_t** paths) {
    int result = 0;
    for (int i = 0; i < count; ++i) {
        WIN32_FILE_ATTRIBUTE_DATA file{};
        HMODULE module = LoadLibraryExW(paths[i], nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        if (!GetFileAttributesExW(paths[i], GetFileExInfoStandard, &file) || !module) {
            std::fwprintf(stderr, L"startup_probe: cannot read %ls\n", paths[i]);
            result = 1;
            continue;
        }
        DWORD images = 0;
        EnumResourceNamesW(module, RT_RCDATA, AddImageSize, reinterpret_cast<LONG_PTR>(&images));
        FreeLibrary(module);
        const DWORD size = file.nFileSizeLow;
        std::wprintf(L"  %-22ls %9lu bytes (%.2f MB); without its images (%lu bytes) %9lu bytes (%.2f MB)\n",
                     FileName(paths[i]).c_str(), size, Megabytes(size), images, size - images,
                     Megabytes(size - images));
    }
    return result;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc >= 3 && std::wcscmp(argv[1], L"--size") == 0) return PrintSizes(argc - 2, argv + 2);
    int first = 1;
    int yardsticks = 1;
    if (argc >= 3 && std::wcscmp(argv[1], L"--yardsticks") == 0) {
        yardsticks = _wtoi(argv[2]);
        first = 3;
    }
    const int rounds = argc >= first + 2 ? _wtoi(argv[first]) : 0;
    if (rounds < 1 || yardsticks < 1) {
        std::fputs("usage: startup_probe [--yardsticks K] RUNS PROGRAM... | startup_probe --size PROGRAM...\n",
                   stderr);
        return 2;
    }
    std::vector<Program> programs;
    for (int i = first + 1; i < argc; ++i) programs.push_back({argv[i], {}});
    return RunStarts(rounds, static_cast<std::size_t>(yardsticks), programs);
}
