// The deflate format's fixed tables, shared by the coder and the walker.
#pragma once

#include <array>
#include <bit>
#include <cstdint>

namespace gdip::deflate {

// Length symbols 257..285: the shortest length each codes, and its extra bits.
inline constexpr std::array<std::uint16_t, 29> kLengthBase = {
    3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
    31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
inline constexpr std::array<std::uint8_t, 29> kLengthExtra = {
    0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
// Extra bits of the distance symbols 0..29.
inline constexpr std::array<std::uint8_t, 30> kDistanceExtra = {
    0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
    6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
// The order in which a block's header gives the code-length code's lengths.
inline constexpr std::array<std::uint8_t, 19> kCodeLengthOrder = {
    16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

// Eight bytes as the little-endian number they spell, on any host (deflate
// packs its bits from the lowest up).
inline std::uint64_t LittleEndian64(std::uint64_t word) {
    if constexpr (std::endian::native == std::endian::little) return word;
    return __builtin_bswap64(word);
}

}  // namespace gdip::deflate
