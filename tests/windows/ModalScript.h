#pragma once
// Plays the user's part in modal windows, from a timer that runs inside their
// modal loops. Each step waits until the innermost modal form (the one still
// enabled; it need not be active, as another program may hold the foreground)
// is of its class, then acts on it. Actions post their clicks, so that a
// window they open runs its loop after the step has returned. A modal form
// left a second with no step for it fails the test and is closed, and so do
// steps left undone.

#include "toolkit/Form.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <vector>

class ModalScript {
public:
    ModalScript() : timer_(SetTimer(nullptr, 0, 20, Tick)) { Current() = this; }
    ~ModalScript() {
        KillTimer(nullptr, timer_);
        Current() = nullptr;
        EXPECT_EQ(steps_.size(), next_) << "steps left undone";
    }
    ModalScript(const ModalScript&) = delete;
    ModalScript& operator=(const ModalScript&) = delete;

    template <typename Form>
    ModalScript& Then(std::function<void(Form&)> action) {
        steps_.push_back([action](toolkit::TForm& form) {
            auto* typed = dynamic_cast<Form*>(&form);
            if (typed) action(*typed);
            return typed != nullptr;
        });
        return *this;
    }

private:
    static ModalScript*& Current() {
        static ModalScript* script = nullptr;
        return script;
    }
    static BOOL CALLBACK NoteModalForm(HWND window, LPARAM found) {
        auto* form = dynamic_cast<toolkit::TForm*>(toolkit::TWinControl::FromHandle(window));
        if (form && form->Modal() && IsWindowVisible(window) && IsWindowEnabled(window))
            *reinterpret_cast<toolkit::TForm**>(found) = form;
        return TRUE;
    }
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        ModalScript* script = Current();
        toolkit::TForm* form = nullptr;
        EnumThreadWindows(GetCurrentThreadId(), NoteModalForm, reinterpret_cast<LPARAM>(&form));
        if (!script || !form) return;
        if (script->next_ < script->steps_.size() && script->steps_[script->next_](*form)) {
            ++script->next_;
            script->idleTicks_ = 0;
        } else if (++script->idleTicks_ == 50) {
            ADD_FAILURE() << "a modal window stayed open";
            script->idleTicks_ = 0;
            form->SetModalResult(toolkit::mrIgnore);
        }
    }

    UINT_PTR timer_;
    std::vector<std::function<bool(toolkit::TForm&)>> steps_;
    std::size_t next_ = 0;
    int idleTicks_ = 0;
};

// Clicks a button or a check box as the mouse would.
inline void Click(const toolkit::TWinControl& control) { PostMessageW(control.Handle(), BM_CLICK, 0, 0); }
// Types into an edit: its text is replaced and the edit reports the change.
inline void Type(const toolkit::TWinControl& edit, const wchar_t* text) { SetWindowTextW(edit.Handle(), text); }
