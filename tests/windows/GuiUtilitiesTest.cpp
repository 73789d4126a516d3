#include "widgets/GuiUtilities.h"

#include "engine/Exception.h"
#include "toolkit/Application.h"
#include "toolkit/DpiScale.h"
#include "toolkit/ExtCtrls.h"

#include "ErrorMessage.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Pictures need no COM: these tests do not start it.
class GuiUtilitiesTest : public ::testing::Test {};

TEST_F(GuiUtilitiesTest, CreatePNGFromResourceAddsThePrefix) {
    toolkit::Picture close = widgets::CreatePNGFromResource(L"CLOSE_HOT", 96);
    EXPECT_EQ(58, close.Width());
    EXPECT_EQ(53, close.Height());
    toolkit::Picture logo = widgets::CreatePNGFromResource(L"LOGO_LOCK", 96);
    EXPECT_EQ(158, logo.Width());
    EXPECT_EQ(65, logo.Height());

    const std::string message = MessageOf([] { widgets::CreatePNGFromResource(L"CLOSE_COLD", 96); });
    EXPECT_NE(std::string::npos, message.find("PNG_CLOSE_COLD")) << message;
}

// Drawn variants at 120 to 192 dpi; between and above them a variant scaled.
TEST_F(GuiUtilitiesTest, PicturesTakeTheSizeThatPositionsGetAtEveryResolution) {
    for (int dpi : {96, 110, 120, 144, 168, 192, 240}) {
        SCOPED_TRACE(dpi);
        toolkit::Picture close = widgets::CreatePNGFromResource(L"CLOSE", dpi);
        EXPECT_EQ(toolkit::ScaleToDpi(58, dpi), close.Width());
        EXPECT_EQ(toolkit::ScaleToDpi(53, dpi), close.Height());
        toolkit::Picture logo = widgets::CreatePNGFromResource(L"KXLOGO", dpi);
        EXPECT_EQ(toolkit::ScaleToDpi(163, dpi), logo.Width());
        EXPECT_EQ(toolkit::ScaleToDpi(48, dpi), logo.Height());
    }
}

TEST_F(GuiUtilitiesTest, LoadPNGImageSizesTheImageAndKeepsItOnFailure) {
    toolkit::TImage image(nullptr, nullptr);
    image.SetAutoSize(true);
    widgets::LoadPNGImage(image, L"LOGO_WW");
    ASSERT_NE(nullptr, image.CurrentPicture());
    EXPECT_EQ(64, image.CurrentPicture()->Width());
    EXPECT_EQ(64, image.Width());
    EXPECT_EQ(64, image.Height());

    const toolkit::Picture* before = image.CurrentPicture();
    const HBITMAP bitmap = before->Bitmap();
    const std::string message = MessageOf([&] { widgets::LoadPNGImage(image, L"LOGO_XX"); });
    EXPECT_NE(std::string::npos, message.find("PNG_LOGO_XX")) << message;
    EXPECT_EQ(before, image.CurrentPicture());
    EXPECT_EQ(bitmap, image.CurrentPicture()->Bitmap());
    EXPECT_EQ(64, image.Width());

    widgets::LoadPNGImage(image, L"KXLOGO");
    EXPECT_EQ(163, image.Width());
    EXPECT_EQ(48, image.Height());
}

TEST_F(GuiUtilitiesTest, OpenURLReportsTheShellAnswerAndLeavesTheDefaultCursor) {
    toolkit::Application().SetScreenCursor(toolkit::crHandPoint);
    EXPECT_FALSE(widgets::OpenURL(L"C:\\no such folder\\no such document.gwdoc"));
    EXPECT_EQ(toolkit::crDefault, toolkit::Application().ScreenCursor());

    // A program that prints a line and ends stands in for a browser.
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    toolkit::Application().SetScreenCursor(toolkit::crIBeam);
    EXPECT_TRUE(widgets::OpenURL(std::wstring(system) + L"\\hostname.exe"));
    EXPECT_EQ(toolkit::crDefault, toolkit::Application().ScreenCursor());
}

TEST_F(GuiUtilitiesTest, RunSystemProgramStartsOnlyProgramsOfTheSystemFolder) {
    toolkit::Application().SetScreenCursor(toolkit::crIBeam);
    EXPECT_TRUE(widgets::RunSystemProgram(L"hostname.exe /?"));
    EXPECT_EQ(toolkit::crDefault, toolkit::Application().ScreenCursor());
    // This program's own folder is the first one a bare name is searched in.
    EXPECT_FALSE(widgets::RunSystemProgram(L"gatewise_windows_tests.exe --gtest_list_tests"));
}

}  // namespace
