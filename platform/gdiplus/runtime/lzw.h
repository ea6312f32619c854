// LZW as GIF and TIFF store it: codes of 9 to 12 bits (GIF: from one bit more
// than the pixel size), a clear code when the table is full, a hashed string
// table. GIF packs codes from the lowest bit up, TIFF from the highest down
// and widens its codes one code earlier, as its readers expect.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace gdip {

// Whole bytes plus the bits of a last, partly filled one (lowest bits first).
struct LzwBits {
    std::vector<std::uint8_t> bytes;
    std::uint64_t bitCount = 0;
};

// The codes of one run of GIF pixel indices (each below 1 << minCodeSize,
// minCodeSize 2..8), begun with a fresh table. `first` puts the clear code in
// front; the run ends with the clear code when more runs follow and with the
// end code when it is the last. Runs encoded apart (side by side) and joined
// with AppendBits make one stream that any reader takes as a whole.
void LzwEncodeGifRun(std::span<const std::uint8_t> pixels, int minCodeSize, bool first, bool last,
                     LzwBits& out);
// Appends run's bits to the end of stream's.
void AppendBits(LzwBits& stream, const LzwBits& run);

// One TIFF strip: the clear code, the codes, the end code, padded to a byte.
void LzwEncodeTiffStrip(std::span<const std::uint8_t> data, std::vector<std::uint8_t>& out);
// Two strips at once, each as LzwEncodeTiffStrip codes it, in less time.
void LzwEncodeTiffStrips(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b,
                         std::vector<std::uint8_t>& outA, std::vector<std::uint8_t>& outB);

}  // namespace gdip
