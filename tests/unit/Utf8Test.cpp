#include "text/Utf8.h"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

TEST(Utf8, ValidityRejectsEveryIllFormedKind) {
    EXPECT_TRUE(utf8::isValid(""));
    EXPECT_TRUE(utf8::isValid("plain \u2318\u2325T \U0001F600"));
    for (const char* bad : {"\xFF", "\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80",
                            "\xE2\x8C", "abc\x80", "\xF8\x88\x80\x80\x80"}) {
        EXPECT_FALSE(utf8::isValid(bad)) << bad;
    }
    EXPECT_EQ(utf8::sanitized("a\xFFz"), "a\uFFFDz");
    EXPECT_EQ(utf8::sanitized("\xE2\x8C"), "\uFFFD\uFFFD");
    EXPECT_EQ(utf8::sanitized("ok \u2318"), "ok \u2318");
}

TEST(Utf8, TrimsTheUnicodeWhitespaceSetAtBothEndsOnly) {
    EXPECT_EQ(utf8::trimmed("  \t\nhello-cc\n\n"), "hello-cc");
    EXPECT_EQ(utf8::trimmed("\u00A0\u3000\u2028x y\u2029\u0085\u200A"), "x y");
    EXPECT_EQ(utf8::trimmed("a\n\nb"), "a\n\nb");
    EXPECT_EQ(utf8::trimmed("   "), "");
    EXPECT_EQ(utf8::trimmed(""), "");
    // Zero-width space and BOM are not white space.
    EXPECT_EQ(utf8::trimmed("\u200Bx\uFEFF"), "\u200Bx\uFEFF");
    // Ill-formed bytes are kept, not eaten.
    EXPECT_EQ(utf8::trimmed(" \x80 "), "\x80");
    EXPECT_EQ(utf8::trimmed("\u3000\x80\u3000"), "\x80");
}

} // namespace
} // namespace tarnwick
