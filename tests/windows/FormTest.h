#pragma once
// Support for tests of windows: the application's error display replaced by a
// recorder, message pumping and real mouse input.

#include "toolkit/Application.h"
#include "toolkit/Form.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <array>
#include <map>
#include <string>
#include <vector>

class FormTest : public ::testing::Test {
protected:
    void SetUp() override {
        savedHandler_ = toolkit::Application().OnException;
        toolkit::Application().OnException = [this](std::exception_ptr error) {
            try {
                std::rethrow_exception(error);
            } catch (const std::exception& e) {
                errors.push_back(e.what());
            } catch (...) {
                errors.push_back("unknown");
            }
        };
    }
    void TearDown() override {
        Pump();
        toolkit::Application().OnException = savedHandler_;
    }

    static void Pump() {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }

    // Real mouse input: a move to the point of the screen, and a click there
    // when asked; the messages it brings are handled.
    static void Mouse(POINT point, bool click = false) {
        INPUT input[3] = {};
        for (INPUT& event : input) event.type = INPUT_MOUSE;
        input[0].mi.dx = MulDiv(point.x, 65536, GetSystemMetrics(SM_CXSCREEN)) + 1;
        input[0].mi.dy = MulDiv(point.y, 65536, GetSystemMetrics(SM_CYSCREEN)) + 1;
        input[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
        input[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
        input[2].mi.dwFlags = MOUSEEVENTF_LEFTUP;
        const UINT count = click ? 3 : 1;
        ASSERT_EQ(count, SendInput(count, input, sizeof(INPUT)));
        for (int i = 0; i < 10; ++i) {
            Pump();
            Sleep(10);
        }
    }

    // A form built from layout text, owned by the test.
    static std::unique_ptr<toolkit::TForm> FormFromLayout(const std::string& layout) {
        auto form = std::make_unique<toolkit::TForm>(nullptr);
        form->LoadLayout(layout, "test layout");
        return form;
    }

    // Left, top, width and height.
    using Bounds = std::array<int, 4>;
    static Bounds BoundsOf(const toolkit::TControl& control) {
        return {control.Left(), control.Top(), control.Width(), control.Height()};
    }
    // Every control's bounds, by name.
    static std::map<std::wstring, Bounds> ControlBounds(const toolkit::TForm& form) {
        std::map<std::wstring, Bounds> bounds;
        for (std::size_t i = 0; i < form.ComponentCount(); ++i)
            if (auto* control = dynamic_cast<const toolkit::TControl*>(form.Components(i)))
                bounds[control->Name] = BoundsOf(*control);
        return bounds;
    }

    // WM_DPICHANGED as Windows sends it when the form moves to a screen of
    // that resolution: the suggested rectangle keeps the top left corner.
    static void MoveToDpi(toolkit::TForm& form, int dpi) {
        RECT window{};
        GetWindowRect(form.Handle(), &window);
        RECT suggested{window.left, window.top, window.left + MulDiv(window.right - window.left, dpi, form.PixelsPerInch()),
                       window.top + MulDiv(window.bottom - window.top, dpi, form.PixelsPerInch())};
        SendMessageW(form.Handle(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
    }

    std::vector<std::string> errors;

private:
    std::function<void(std::exception_ptr)> savedHandler_;
};
