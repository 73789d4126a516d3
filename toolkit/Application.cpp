#include "toolkit/Application.h"

#include "os/Text.h"
#include "toolkit/ExtCtrls.h"
#include "toolkit/Form.h"

#include <stdexcept>
#include <string>

namespace toolkit {
namespace {

constexpr UINT WM_RELEASEFORM = WM_APP + 1;
constexpr UINT WM_RUNDEFERRED = WM_APP + 2;

LRESULT CALLBACK UtilityWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_TIMER:
            if (TTimer* timer = TTimer::FromId(wParam)) Guarded([timer] { timer->Tick(); });
            return 0;
        case WM_RELEASEFORM: {
            auto* form = reinterpret_cast<TForm*>(lParam);
            if (TForm::Exists(form)) Guarded([form] { delete form; });
            return 0;
        }
        case WM_RUNDEFERRED:
            Application().RunDeferred();
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

std::wstring MessageOf(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return os::FromUtf8(e.what());
    } catch (...) {
        return L"Unknown error";
    }
}

}  // namespace

TApplication& Application() {
    static TApplication application;
    return application;
}

void TApplication::Run() {
    if (MainForm) MainForm->Show();
    while (!terminated_) HandleMessage();
}

void TApplication::Terminate() {
    if (terminated_) return;
    terminated_ = true;
    PostQuitMessage(0);
}

bool TApplication::ProcessMessage() {
    MSG message;
    if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        const std::vector<HANDLE> events = WatchedEvents();
        if (events.empty()) return false;
        const DWORD signalled = WaitForMultipleObjects(static_cast<DWORD>(events.size()), events.data(), FALSE, 0);
        if (signalled >= WAIT_OBJECT_0 + events.size()) return false;
        RunWatched(signalled - WAIT_OBJECT_0);
        return true;
    }
    if (message.message == WM_QUIT) {
        terminated_ = true;
        return true;
    }
    HWND root = message.hwnd ? GetAncestor(message.hwnd, GA_ROOT) : nullptr;
    auto* form = dynamic_cast<TForm*>(TWinControl::FromHandle(root));
    if (form && (message.message == WM_KEYDOWN || message.message == WM_SYSKEYDOWN)) {
        bool handled = false;
        Guarded([&] { handled = form->HandleShortCut(message.wParam); });
        if (handled) return true;
    }
    if (form && IsDialogMessageW(root, &message)) return true;
    TranslateMessage(&message);
    DispatchMessageW(&message);
    return true;
}

void TApplication::ProcessMessages() {
    while (ProcessMessage()) {
    }
}

void TApplication::HandleMessage() {
    if (ProcessMessage() || terminated_) return;
    const std::vector<HANDLE> events = WatchedEvents();
    if (events.empty()) {
        WaitMessage();
        return;
    }
    // The wait takes an auto-reset event's signal: its handler runs now.
    const DWORD signalled = MsgWaitForMultipleObjectsEx(static_cast<DWORD>(events.size()), events.data(), INFINITE,
                                                        QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    if (signalled < WAIT_OBJECT_0 + events.size()) RunWatched(signalled - WAIT_OBJECT_0);
}

void TApplication::Watch(HANDLE event, std::function<void()> handler) {
    Unwatch(event);
    if (watched_.size() + 1 >= MAXIMUM_WAIT_OBJECTS) throw std::length_error("Too many events are watched");
    watched_.emplace_back(event, std::move(handler));
}

void TApplication::Unwatch(HANDLE event) {
    std::erase_if(watched_, [event](const auto& watched) { return watched.first == event; });
}

std::vector<HANDLE> TApplication::WatchedEvents() const {
    std::vector<HANDLE> events;
    for (const auto& watched : watched_) events.push_back(watched.first);
    return events;
}

// The handler may unwatch its own event: it runs from a copy.
void TApplication::RunWatched(std::size_t index) {
    const std::function<void()> handler = watched_[index].second;
    Guarded(handler);
}

void TApplication::HandleException(std::exception_ptr error) noexcept {
    if (!error) return;
    if (OnException) {
        try {
            OnException(error);
            return;
        } catch (...) {
        }
    }
    std::wstring text = MessageOf(error);
    MessageBoxW(nullptr, text.c_str(), Title.empty() ? L"Error" : Title.c_str(), MB_OK | MB_ICONERROR | MB_TASKMODAL);
}

void TApplication::AppActivated(bool active) {
    if (active_ == active) return;
    active_ = active;
    TNotifyEvent& handler = active ? OnActivate : OnDeactivate;
    if (handler) handler(nullptr);
}

void TApplication::HelpContents() {
    if (OnHelpContents) OnHelpContents();
}

void TApplication::HelpContext(int context) {
    if (OnHelpContext) OnHelpContext(context);
}

void TApplication::SetScreenCursor(TCursor cursor) {
    screenCursor_ = cursor;
    if (cursor != crDefault) {
        SetCursor(CursorHandle(cursor));
        return;
    }
    POINT point;
    GetCursorPos(&point);
    SetCursorPos(point.x, point.y);
}

HWND TApplication::UtilityWindow() {
    if (!utility_) {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = UtilityWindowProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"GatewiseUtility";
        RegisterClassExW(&windowClass);
        utility_ = CreateWindowExW(0, L"GatewiseUtility", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                   GetModuleHandleW(nullptr), nullptr);
    }
    return utility_;
}

void TApplication::ReleaseLater(TForm* form) {
    PostMessageW(UtilityWindow(), WM_RELEASEFORM, 0, reinterpret_cast<LPARAM>(form));
}

void TApplication::RunLater(std::function<void()> action) {
    deferred_.push_back(std::move(action));
    PostMessageW(UtilityWindow(), WM_RUNDEFERRED, 0, 0);
}

void TApplication::RunDeferred() {
    while (!deferred_.empty()) {
        std::function<void()> action = std::move(deferred_.front());
        deferred_.pop_front();
        Guarded(action);
    }
}

}  // namespace toolkit
