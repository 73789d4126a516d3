#pragma once
// The application object: title, help file, main form, the message loop, the
// screen cursor, and the one place where errors that no code handled end up.

#include "toolkit/Types.h"

#include <windows.h>

#include <deque>
#include <exception>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace toolkit {

class TForm;

class TApplication {
public:
    TApplication(const TApplication&) = delete;
    TApplication& operator=(const TApplication&) = delete;

    std::wstring Title;
    std::wstring HelpFile;
    TForm* MainForm = nullptr;

    // Shows the main form and dispatches messages until Terminate.
    void Run();
    // Ends the message loop; modal loops end too.
    void Terminate();
    bool Terminated() const { return terminated_; }
    // Handles one waiting message; false when none was waiting.
    bool ProcessMessage();
    void ProcessMessages();
    // Waits for one message and handles it.
    void HandleMessage();

    // The application's error display. Without a handler the error is shown
    // in a message box. Never throws.
    std::function<void(std::exception_ptr)> OnException;
    void HandleException(std::exception_ptr error) noexcept;

    // Raised when the application loses or gains the focus.
    TNotifyEvent OnDeactivate;
    TNotifyEvent OnActivate;
    void AppActivated(bool active);

    // Help: the table of contents and the topic of a context number. The shell
    // provides the viewer.
    std::function<void()> OnHelpContents;
    std::function<void(int context)> OnHelpContext;
    void HelpContents();
    void HelpContext(int context);

    // The cursor shown over every window of the program; crDefault lets the
    // controls choose.
    TCursor ScreenCursor() const { return screenCursor_; }
    void SetScreenCursor(TCursor cursor);

    // Runs `handler` on this thread each time `event` (an auto-reset event)
    // is signalled, from the message loop and modal loops alike, until
    // Unwatch. Messages waiting go first.
    void Watch(HANDLE event, std::function<void()> handler);
    void Unwatch(HANDLE event);

    // A hidden window for timers and deferred work.
    HWND UtilityWindow();
    // Destroys `form` once the current message has been handled.
    void ReleaseLater(TForm* form);
    // Runs `action` once the current message has been handled; an error goes
    // to the error display.
    void RunLater(std::function<void()> action);
    // Runs the actions that RunLater queued.
    void RunDeferred();

private:
    friend TApplication& Application();
    TApplication() = default;

    bool terminated_ = false;
    bool active_ = false;
    TCursor screenCursor_ = crDefault;
    // Runs the handler of the event at `index` of watched_.
    void RunWatched(std::size_t index);
    std::vector<HANDLE> WatchedEvents() const;

    HWND utility_ = nullptr;
    std::deque<std::function<void()>> deferred_;
    std::vector<std::pair<HANDLE, std::function<void()>>> watched_;
};

TApplication& Application();

// Shows the hourglass over every window for one scope, then the default cursor.
class THourGlass {
public:
    THourGlass() { Application().SetScreenCursor(crHourGlass); }
    ~THourGlass() { Application().SetScreenCursor(crDefault); }
    THourGlass(const THourGlass&) = delete;
    THourGlass& operator=(const THourGlass&) = delete;
};

// Runs `action`; an exception goes to the application's error display
// instead of unwinding further.
template <typename Action>
void Guarded(Action&& action) noexcept {
    try {
        std::forward<Action>(action)();
    } catch (...) {
        Application().HandleException(std::current_exception());
    }
}

}  // namespace toolkit
