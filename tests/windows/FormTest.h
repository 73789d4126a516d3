#pragma once
// Support for tests of windows: the application's error display replaced by a
// recorder, and message pumping.

#include "toolkit/Application.h"
#include "toolkit/Form.h"

#include <gtest/gtest.h>

#include <windows.h>

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

    std::vector<std::string> errors;

private:
    std::function<void(std::exception_ptr)> savedHandler_;
};
