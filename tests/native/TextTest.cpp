#include "os/Text.h"

#include <gtest/gtest.h>

namespace {

TEST(Text, Utf16AndUtf8RoundTripOutsideAnyCodePage) {
    const os::WString name = WSTR("J\u00F6rg \u65E5\u672C \U0001F512");
    EXPECT_EQ(os::ToUtf8(name), "J\xC3\xB6rg \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x94\x92");
    EXPECT_EQ(os::FromUtf8(os::ToUtf8(name)), name);
}

TEST(Text, BrokenUtf8BecomesReplacementCharacters) {
    EXPECT_EQ(os::FromUtf8("a\xC3"), WSTR("a\uFFFD"));
    EXPECT_EQ(os::FromUtf8("\xFF" "b"), WSTR("\uFFFD" "b"));
    EXPECT_EQ(os::ToUtf8(os::WString(1, static_cast<WCHAR>(0xD800))), "\xEF\xBF\xBD");
}

TEST(Text, CaseInsensitiveComparisonFoldsOnlyAsciiLetters) {
    EXPECT_TRUE(os::EqualsIgnoringCase(WSTR("VerifyPassword"), WSTR("verifypassword")));
    EXPECT_FALSE(os::EqualsIgnoringCase(WSTR("Verify"), WSTR("Verify ")));
    EXPECT_TRUE(os::EqualsIgnoringCase(std::string_view("ABC"), std::string_view("abc")));
}

TEST(Text, FormatFillsTheFirstPlaceholderAndUnescapesPercent) {
    EXPECT_EQ(os::Format(WSTR("Changed to %s."), WSTR("Secure Mode")), WSTR("Changed to Secure Mode."));
    EXPECT_EQ(os::Format(WSTR("%s and %s, 100%% %d%"), WSTR("a%s")), WSTR("a%s and %s, 100% %d%"));
    EXPECT_EQ(os::Format(WSTR("no placeholder"), WSTR("x")), WSTR("no placeholder"));
}

TEST(Text, SecretStringIsWipedWhenReplaced) {
    os::SecretString secret(os::WString(WSTR("hunter2")));
    const WCHAR* storage = secret.c_str();
    secret = os::SecretString();
    // The old buffer may have been reused; what matters is that no copy of the
    // text remains where it was.
    EXPECT_NE(os::WString(storage, 7), WSTR("hunter2"));
}

}  // namespace
