#include "os/Text.h"

#include "FreedMemoryWatch.h"

#include <algorithm>

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

// Even a short password: characters kept inside the object would sit on the
// stack, which the exception reporter copies, and stay in a moved-from string.
TEST(Text, SecretStringKeepsItsTextOutsideItselfAndWipesEveryBlockItFrees) {
    for (const std::string text : {"k9", "hunter2", "correct-horse-battery"}) {
        const std::u16string wide(text.begin(), text.end());
        FreedMemoryWatch watch(text);
        {
            os::SecretString secret(os::FromUtf8(text));
            const char* object = reinterpret_cast<const char*>(&secret);
            const char* pattern = reinterpret_cast<const char*>(wide.data());
            EXPECT_EQ(std::search(object, object + sizeof secret, pattern, pattern + 2 * wide.size()),
                      object + sizeof secret)
                << text;
            EXPECT_EQ(secret.view(), os::WStringView(reinterpret_cast<const WCHAR*>(wide.data()), wide.size()));

            os::SecretString copy = secret;
            const os::SecretString moved = std::move(copy);
            EXPECT_TRUE(copy.empty());
            EXPECT_EQ(*copy.c_str(), WCHAR(0));
            EXPECT_EQ(moved, secret);
            secret = os::SecretString(WSTR("other"));
            copy = moved;
        }
        EXPECT_EQ(watch.UnwipedBlocks(), 0) << text;
    }
}

}  // namespace
