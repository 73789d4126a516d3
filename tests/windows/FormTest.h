#pragma once
// Support for tests of windows: the application's error display replaced by a
// recorder, and message pumping.

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
