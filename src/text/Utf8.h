#pragma once

#include <string>
#include <string_view>

namespace tarnwick::utf8 {

// True when text is well-formed UTF-8 (no overlong forms, no surrogates,
// nothing above U+10FFFF).
bool isValid(std::string_view text);

// text with every ill-formed byte sequence replaced by U+FFFD.
std::string sanitized(std::string_view text);

// True for the Unicode white-space and line-break set: general category Zs,
// TAB, LF, VT, FF, CR, NEL, LINE SEPARATOR and PARAGRAPH SEPARATOR.
bool isWhitespaceOrNewline(char32_t c);

// text without white space and line breaks at either end. Ill-formed bytes
// are never trimmed.
std::string_view trimmed(std::string_view text);

} // namespace tarnwick::utf8
