#pragma once

#include <string>
#include <string_view>

namespace s::str {

// Texts are UTF-16 in memory and UTF-8 at the system boundary (file names,
// text files). Malformed input becomes U+FFFD, never an error.
std::u16string utf8ToUtf16(std::string_view utf8);
std::string utf16ToUtf8(std::u16string_view utf16);

// Simple one-to-one case folding to lower case for Latin, Greek and Cyrillic
// letters; other characters are returned unchanged.
char16_t foldCase(char16_t c);

}  // namespace s::str
