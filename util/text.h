// Text rules shared by the whole program: trimming, the one canonical form of
// a folder path, leaf names, ASCII upper-casing and number formatting. All are
// pure functions on UTF-16 text; lengths and positions count code units.
#pragma once

#include <string>

namespace util {

// White space as the wide-character class test sees it: U+0009..U+000D,
// U+0020, U+00A0, and the space separators above U+00FF (U+1680, U+2000..
// U+2006, U+2008..U+200A, U+2028, U+2029, U+205F, U+3000).
bool IsWhiteSpace(char16_t c);

std::u16string TrimText(std::u16string text);
std::u16string CollapseBackslashes(std::u16string text);
// Trimmed, no doubled backslash, exactly one trailing backslash; never empty.
std::u16string NormaliseFolderPath(std::u16string text);
std::u16string FolderLeafName(std::u16string path);
std::u16string UpperCaseAscii(std::u16string text);
std::u16string FormatCount(int value);

std::u16string LeftPart(const std::u16string& text, long long n);
std::u16string RightPart(const std::u16string& text, long long n);
long long LastIndexOf(const std::u16string& text, char16_t c);

}  // namespace util
