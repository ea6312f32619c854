// Text rules: trimming, folder path forms, ASCII capitals, counts and substrings.
#include "util/text.h"

#include <algorithm>

namespace util {

bool IsWhiteSpace(char16_t c) {
    if ((c >= 0x0009 && c <= 0x000D) || c == 0x0020 || c == 0x00A0) return true;
    if (c < 0x0100) return false;
    // U+2007 and U+202F are no-break spaces that the class test leaves out.
    return c == 0x1680 || (c >= 0x2000 && c <= 0x2006) || (c >= 0x2008 && c <= 0x200A) ||
           c == 0x2028 || c == 0x2029 || c == 0x205F || c == 0x3000;
}

std::u16string TrimText(std::u16string text) {
    std::size_t end = text.size();
    while (end > 0 && IsWhiteSpace(text[end - 1])) --end;
    text.erase(end);
    std::size_t begin = 0;
    while (begin < text.size() && IsWhiteSpace(text[begin])) ++begin;
    text.erase(0, begin);
    return text;
}

std::u16string CollapseBackslashes(std::u16string text) {
    text = TrimText(std::move(text));
    std::u16string result;
    result.reserve(text.size());
    for (char16_t c : text) {
        if (c == u'\\' && !result.empty() && result.back() == u'\\') continue;
        result.push_back(c);
    }
    return result;
}

std::u16string NormaliseFolderPath(std::u16string text) {
    text = CollapseBackslashes(TrimText(std::move(text)));
    if (text.empty() || text.back() != u'\\') text.push_back(u'\\');
    return text;
}

std::u16string FolderLeafName(std::u16string path) {
    path = TrimText(std::move(path));
    if (!path.empty()) path.pop_back();
    const long long slash = LastIndexOf(path, u'\\');
    return TrimText(path.substr(static_cast<std::size_t>(slash + 1)));
}

std::u16string UpperCaseAscii(std::u16string text) {
    for (char16_t& c : text)
        if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
    return text;
}

std::u16string FormatCount(int value) {
    // Widen first: the magnitude of the most negative int does not fit an int.
    long long v = value;
    const bool negative = v < 0;
    unsigned long long magnitude =
        negative ? static_cast<unsigned long long>(-v) : static_cast<unsigned long long>(v);
    std::u16string digits;
    do {
        digits.push_back(static_cast<char16_t>(u'0' + magnitude % 10));
        magnitude /= 10;
    } while (magnitude != 0);
    if (negative) digits.push_back(u'-');
    std::reverse(digits.begin(), digits.end());
    return digits;
}

std::u16string LeftPart(const std::u16string& text, long long n) {
    if (n <= 0) return {};
    return text.substr(0, static_cast<std::size_t>(n));
}

std::u16string RightPart(const std::u16string& text, long long n) {
    if (n <= 0) return {};
    const auto count = std::min(static_cast<std::size_t>(n), text.size());
    return text.substr(text.size() - count);
}

long long LastIndexOf(const std::u16string& text, char16_t c) {
    const std::size_t at = text.rfind(c);
    return at == std::u16string::npos ? -1 : static_cast<long long>(at);
}

}  // namespace util
