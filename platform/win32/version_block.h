// Builds a VS_VERSIONINFO block at compile time, so that a module or the
// executable carries its version as plain data that GetFileVersionInfoW finds.
#pragma once

#include <array>
#include <cstdint>

namespace win32 {

struct FourPartVersion {
    std::uint16_t a, b, c, d;
};

// Layout: WORD wLength, WORD wValueLength (52), WORD wType (0),
// L"VS_VERSION_INFO\0", padding to 4 bytes, VS_FIXEDFILEINFO. 92 bytes.
constexpr std::size_t kVersionBlockSize = 92;

constexpr std::array<unsigned char, kVersionBlockSize> MakeVersionBlock(FourPartVersion file,
                                                                        FourPartVersion product) {
    std::array<unsigned char, kVersionBlockSize> b{};
    std::size_t at = 0;
    auto put16 = [&](std::uint16_t v) {
        b[at++] = static_cast<unsigned char>(v & 0xFF);
        b[at++] = static_cast<unsigned char>(v >> 8);
    };
    auto put32 = [&](std::uint32_t v) {
        put16(static_cast<std::uint16_t>(v & 0xFFFF));
        put16(static_cast<std::uint16_t>(v >> 16));
    };
    put16(static_cast<std::uint16_t>(kVersionBlockSize));
    put16(52);
    put16(0);
    const char key[] = "VS_VERSION_INFO";
    for (char ch : key) put16(static_cast<std::uint16_t>(ch));  // includes the terminator
    while (at % 4 != 0) b[at++] = 0;
    put32(0xFEEF04BD);
    put32(0x00010000);
    put32((std::uint32_t{file.a} << 16) | file.b);
    put32((std::uint32_t{file.c} << 16) | file.d);
    put32((std::uint32_t{product.a} << 16) | product.b);
    put32((std::uint32_t{product.c} << 16) | product.d);
    put32(0x3F);        // flags mask
    put32(0);           // flags
    put32(0x00040004);  // VOS_NT_WINDOWS32
    put32(2);           // VFT_DLL or VFT_APP is not examined by anyone
    put32(0);
    put32(0);
    put32(0);
    return b;
}

}  // namespace win32
