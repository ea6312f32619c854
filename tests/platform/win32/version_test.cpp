// Tests of the version calls over files with and without a version block.
#include "platform/win32/version.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/win32/version_block.h"
#include "tests/support/temp_dir.h"

namespace {

using testsupport::TempDir;

std::string BlockBytes(win32::FourPartVersion file, win32::FourPartVersion product) {
    const auto block = win32::MakeVersionBlock(file, product);
    return std::string(block.begin(), block.end());
}

std::string Utf16Le(std::u16string_view text) {
    std::string out;
    for (char16_t c : text) {
        out += static_cast<char>(c & 0xFF);
        out += static_cast<char>(c >> 8);
    }
    return out;
}

std::string Junk(std::size_t n, unsigned seed) {
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 131 + seed) % 251);
    return s;
}

// What the start-up check does: size, read into a larger buffer, query the root.
struct Queried {
    DWORD size = 0;
    std::vector<unsigned char> buffer;
    const VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
};

Queried Query(const std::u16string& path) {
    Queried q;
    DWORD handle = 123;
    q.size = GetFileVersionInfoSizeW(path.c_str(), &handle);
    EXPECT_EQ(handle, 0u);
    if (q.size == 0) return q;
    q.buffer.resize(2 * q.size + 4);
    if (!GetFileVersionInfoW(path.c_str(), 0, q.size, q.buffer.data())) return q;
    LPVOID p = nullptr;
    if (VerQueryValueW(q.buffer.data(), u"\\", &p, &q.length))
        q.info = static_cast<const VS_FIXEDFILEINFO*>(p);
    return q;
}

TEST(VersionInfo, FindsTheBlockPastFalseMatches) {
    TempDir dir;
    // The key as a string literal would sit in a module's read-only data.
    const std::string falseMatch = std::string("\x5c\x00\x34\x00\x00\x00", 6) +
                                   Utf16Le(std::u16string(u"VS_VERSION_INFO", 16)) + "xxxx";
    const std::string bytes = Junk(1001, 3) + falseMatch + Junk(77, 5) +
                              BlockBytes({1, 2, 3, 4}, {5, 1, 3102, 5581}) + Junk(4096, 9);
    const auto path = dir.Write("gdiplus.dll", bytes);

    const Queried q = Query(testsupport::WinPathOf(path));
    EXPECT_EQ(q.size, win32::kVersionBlockSize);
    ASSERT_NE(q.info, nullptr);
    EXPECT_EQ(q.length, sizeof(VS_FIXEDFILEINFO));
    EXPECT_GE(reinterpret_cast<const unsigned char*>(q.info), q.buffer.data());
    EXPECT_LT(reinterpret_cast<const unsigned char*>(q.info), q.buffer.data() + q.size);
    EXPECT_EQ(q.info->dwSignature, VS_FFI_SIGNATURE);
    EXPECT_EQ(q.info->dwProductVersionMS, (5u << 16) | 1u);
    EXPECT_EQ(q.info->dwProductVersionLS, (3102u << 16) | 5581u);
    EXPECT_EQ(q.info->dwFileVersionMS, (1u << 16) | 2u);
    EXPECT_EQ(q.info->dwFileVersionLS, (3u << 16) | 4u);
}

TEST(VersionInfo, FilesWithoutAWholeBlock) {
    TempDir dir;
    const std::string block = BlockBytes({1, 0, 0, 0}, {1, 0, 0, 0});
    std::string wrongSignature = block;
    wrongSignature[40] = 0;
    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"empty", ""},
        {"plain", Junk(5000, 1)},
        {"key_only", Junk(100, 2) + Utf16Le(std::u16string(u"VS_VERSION_INFO", 16))},
        {"key_at_start", block.substr(6)},
        {"cut_short", Junk(100, 4) + block.substr(0, 80)},
        {"wrong_signature", Junk(10, 6) + wrongSignature + Junk(10, 7)},
    };
    for (const auto& c : cases) {
        const auto path = testsupport::WinPathOf(dir.Write(c.name, c.bytes));
        EXPECT_EQ(GetFileVersionInfoSizeW(path.c_str(), nullptr), 0u) << c.name;
        std::vector<unsigned char> buf(200);
        EXPECT_FALSE(GetFileVersionInfoW(path.c_str(), 0, 200, buf.data())) << c.name;
    }
    EXPECT_EQ(GetFileVersionInfoSizeW(dir.WinPath().c_str(), nullptr), 0u);
    EXPECT_EQ(GetFileVersionInfoSizeW((dir.WinPath() + u"missing").c_str(), nullptr), 0u);
}

TEST(VersionInfo, BlockAtAnOddOffsetAndTheFirstOfTwo) {
    TempDir dir;
    const auto path = dir.Write("two", Junk(7, 1) + BlockBytes({2, 0, 0, 0}, {2, 0, 0, 0}) +
                                           BlockBytes({3, 0, 0, 0}, {3, 0, 0, 0}));
    const Queried q = Query(testsupport::WinPathOf(path));
    ASSERT_NE(q.info, nullptr);
    EXPECT_EQ(q.info->dwProductVersionMS, 2u << 16);
}

TEST(VersionInfo, OnlyTheRootBlockIsOffered) {
    const auto block = win32::MakeVersionBlock({1, 0, 0, 0}, {1, 0, 0, 0});
    LPVOID p = nullptr;
    UINT len = 0;
    EXPECT_TRUE(VerQueryValueW(block.data(), u"\\", &p, &len));
    EXPECT_EQ(p, block.data() + 40);
    EXPECT_FALSE(
        VerQueryValueW(block.data(), u"\\StringFileInfo\\040904b0\\ProductVersion", &p, &len));
    EXPECT_EQ(p, nullptr);
    const std::array<unsigned char, 92> zeros{};
    EXPECT_FALSE(VerQueryValueW(zeros.data(), u"\\", &p, &len));
}

}  // namespace
