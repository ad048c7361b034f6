#include "text/Utf8.h"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

TEST(Utf8, IllFormedKindsAreRejectedAndReplacedByteByByte) {
    EXPECT_TRUE(utf8::isValid("plain \u2318\u2325T \U0001F600"));
    // Overlong, overlong, surrogate, above U+10FFFF, cut short, stray continuation.
    for (const char* bad :
         {"\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE2\x8C", "a\x80"}) {
        EXPECT_FALSE(utf8::isValid(bad)) << bad;
    }
    EXPECT_EQ(utf8::sanitized("a\xFFz \xE2\x8C \u2318"), "a\uFFFDz \uFFFD\uFFFD \u2318");
}

TEST(Utf8, TrimsTheUnicodeBlanksAtBothEndsOnlyAndNeverIllFormedBytes) {
    const std::string blanks = "\t\n\v\f\r \u0085\u00A0\u1680\u2000\u2005\u200A\u2028\u2029\u202F"
                               "\u205F\u3000";
    EXPECT_EQ(utf8::trimmed(blanks + "x\n\ny" + blanks), "x\n\ny");
    EXPECT_EQ(utf8::trimmed("\u3000\x80 \xE3\x80\u3000"), "\x80 \xE3\x80");
    for (const char32_t c : std::u32string_view(U"\b\x0E\x1F!\x84\x86\u00A1\u167F\u1FFF\u200B"
                                                U"\u2027\u202A\u2030\u205E\u2060\u3001\uFEFF")) {
        EXPECT_FALSE(utf8::isWhitespaceOrNewline(c)) << static_cast<std::uint32_t>(c);
    }
}

} // namespace
} // namespace tarnwick
