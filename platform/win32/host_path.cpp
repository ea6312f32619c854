// Drive mapping and name encoding. Plain POSIX and C++: the imaging runtime
// module links this file too.
#include "host_path.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <vector>

namespace win32 {
namespace {

constexpr char16_t kEscapeBase = 0xDC00;

bool IsSeparator(char16_t c) {
    return c == u'\\' || c == u'/';
}

bool IsAsciiLetter(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

bool IsContinuation(unsigned char b) {
    return (b & 0xC0) == 0x80;
}

// Length of the well-formed UTF-8 sequence that starts at s[i] (1 to 4), with
// its code point; 0 when the byte there does not start one. Overlong forms,
// encoded surrogates and values past U+10FFFF are not well-formed.
std::size_t WellFormedSequence(std::string_view s, std::size_t i, char32_t& cp) {
    auto at = [&](std::size_t k) { return static_cast<unsigned char>(s[i + k]); };
    const unsigned char b0 = at(0);
    std::size_t len = 0;
    unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the second byte
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        len = 2;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        len = 3;
        if (b0 == 0xE0) lo = 0xA0;
        if (b0 == 0xED) hi = 0x9F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        len = 4;
        if (b0 == 0xF0) lo = 0x90;
        if (b0 == 0xF4) hi = 0x8F;
    } else {
        return 0;
    }
    if (i + len > s.size() || at(1) < lo || at(1) > hi) return 0;
    for (std::size_t k = 2; k < len; ++k)
        if (!IsContinuation(at(k))) return 0;
    cp = b0 & (0xFF >> (len + 1));
    for (std::size_t k = 1; k < len; ++k) cp = (cp << 6) | (at(k) & 0x3F);
    return len;
}

void AppendUtf8(char32_t cp, std::string& out) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::string CurrentFolder() {
    std::vector<char> buf(4096);
    while (::getcwd(buf.data(), buf.size()) == nullptr) {
        if (errno != ERANGE) return "/";
        buf.resize(buf.size() * 2);
    }
    return buf.data();
}

// Host path components with "." and ".." resolved by name; ".." never climbs
// above the first `floor` components.
class Components {
public:
    explicit Components(std::size_t floor = 0) : m_floor(floor) {}
    void Push(std::string_view name) {
        if (name.empty() || name == ".") return;
        if (name == "..") {
            if (m_parts.size() > m_floor) m_parts.pop_back();
            return;
        }
        m_parts.emplace_back(name);
    }
    // Every '/'-separated name of a host path.
    void PushHost(std::string_view path) {
        while (!path.empty()) {
            std::size_t cut = path.find('/');
            Push(path.substr(0, cut));
            if (cut == std::string_view::npos) break;
            path.remove_prefix(cut + 1);
        }
    }
    void Lock() { m_floor = m_parts.size(); }
    const std::vector<std::string>& Parts() const { return m_parts; }
    std::string Join() const {
        if (m_parts.empty()) return "/";
        std::string out;
        for (const std::string& p : m_parts) out += "/" + p;
        return out;
    }

private:
    std::size_t m_floor;
    std::vector<std::string> m_parts;
};

Components HostComponents(std::string_view hostPath) {
    Components c;
    if (hostPath.empty() || hostPath.front() != '/') c.PushHost(CurrentFolder());
    c.PushHost(hostPath);
    return c;
}

}  // namespace

void AppendNameFromHost(std::string_view bytes, std::u16string& out) {
    for (std::size_t i = 0; i < bytes.size();) {
        const unsigned char b = static_cast<unsigned char>(bytes[i]);
        if (b < 0x80) {
            out += b == '\\' ? static_cast<char16_t>(kEscapeBase + b) : static_cast<char16_t>(b);
            ++i;
            continue;
        }
        char32_t cp = 0;
        const std::size_t len = WellFormedSequence(bytes, i, cp);
        if (len == 0) {
            out += static_cast<char16_t>(kEscapeBase + b);
            ++i;
        } else if (cp < 0x10000) {
            out += static_cast<char16_t>(cp);
            i += len;
        } else {
            out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
            i += len;
        }
    }
}

std::u16string NameFromHost(std::string_view bytes) {
    std::u16string out;
    out.reserve(bytes.size());
    AppendNameFromHost(bytes, out);
    return out;
}

// U+DC80..U+DCFF and U+DC5C are the escaped bytes. Any other lone surrogate
// cannot come from a host name; it is written in the three-byte form UTF-8
// would give it. Those bytes are not valid UTF-8, so such a name reads back
// as three escaped bytes: a different text for the same file, never a
// different file.
std::string NameToHost(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            AppendUtf8(0x10000 + ((char32_t{c} - 0xD800) << 10) + (text[i + 1] - 0xDC00), out);
            ++i;
        } else if ((c >= kEscapeBase + 0x80 && c <= kEscapeBase + 0xFF) ||
                   c == kEscapeBase + '\\') {
            out += static_cast<char>(c - kEscapeBase);
        } else {
            AppendUtf8(c, out);
        }
    }
    return out;
}

std::string HomeFolder() {
    const char* env = std::getenv("HOME");
    std::string home = env != nullptr ? env : "";
    if (home.empty() || home.front() != '/') {
        const passwd* pw = ::getpwuid(::getuid());
        home = (pw != nullptr && pw->pw_dir != nullptr) ? pw->pw_dir : "/";
    }
    return HostComponents(home).Join();
}

std::optional<std::string> ToHostPath(std::u16string_view winPath) {
    if (winPath.find(u'\0') != std::u16string_view::npos) return std::nullopt;
    // "\\server\share", and the "\\?\" and "\\.\" forms: no shares here.
    if (winPath.size() >= 2 && IsSeparator(winPath[0]) && IsSeparator(winPath[1]))
        return std::nullopt;

    Components c;
    std::u16string_view rest = winPath;
    if (winPath.size() >= 2 && IsAsciiLetter(winPath[0]) && winPath[1] == u':') {
        const char16_t drive = winPath[0] | 0x20;
        rest.remove_prefix(2);
        if (drive == u'c') {
            // C: has no current folder of its own: "C:x" is "C:\x".
            c.PushHost(HomeFolder());
            c.Lock();
        } else if (drive != u'z') {
            return std::nullopt;
        } else if (rest.empty() || !IsSeparator(rest.front())) {
            c.PushHost(CurrentFolder());  // Z: is the current drive
        }
    } else if (rest.empty() || !IsSeparator(rest.front())) {
        c.PushHost(CurrentFolder());
    }

    while (!rest.empty()) {
        std::size_t cut = 0;
        while (cut < rest.size() && !IsSeparator(rest[cut])) ++cut;
        c.Push(NameToHost(rest.substr(0, cut)));
        rest.remove_prefix(cut < rest.size() ? cut + 1 : cut);
    }
    return c.Join();
}

std::u16string FromHostPath(std::string_view hostPath) {
    const Components path = HostComponents(hostPath);
    const Components home = HostComponents(HomeFolder());
    const auto& parts = path.Parts();
    const auto& homeParts = home.Parts();

    std::size_t skip = 0;
    std::u16string out = u"Z:";
    if (parts.size() >= homeParts.size() &&
        std::equal(homeParts.begin(), homeParts.end(), parts.begin())) {
        skip = homeParts.size();
        out = u"C:";
    }
    if (skip == parts.size()) return out + u"\\";
    for (std::size_t i = skip; i < parts.size(); ++i) {
        out += u'\\';
        AppendNameFromHost(parts[i], out);
    }
    return out;
}

}  // namespace win32
