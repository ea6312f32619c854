// LZW for GIF and TIFF: whole runs and strips through the coder of
// lzw_coder.h, and runs joined.
#include "lzw.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "lzw_coder.h"

namespace gdip {

namespace {

using lzw::Coder;
using lzw::GifDialect;
using lzw::TiffDialect;

template <class Dialect>
std::uint64_t Encode(std::span<const std::uint8_t> data, int rootBits, bool first, bool last,
                     std::vector<std::uint8_t>& out) {
    Coder<Dialect> coder(data.size(), rootBits, first);
    if (!data.empty()) coder.Start(data[0]);
    for (std::size_t i = 1; i < data.size(); ++i) coder.Step(data[i]);
    return coder.Finish(last, out);
}

}  // namespace

void LzwEncodeGifRun(std::span<const std::uint8_t> pixels, int minCodeSize, bool first, bool last,
                     LzwBits& out) {
    out.bitCount = Encode<GifDialect>(pixels, minCodeSize, first, last, out.bytes);
}

void AppendBits(LzwBits& stream, const LzwBits& run) {
    const int shift = static_cast<int>(stream.bitCount % 8);
    if (shift == 0) {
        stream.bytes.resize(static_cast<std::size_t>(stream.bitCount / 8));
        stream.bytes.insert(stream.bytes.end(), run.bytes.begin(), run.bytes.end());
    } else {
        // The stream's last, partial byte takes the run's lowest bits; eight
        // bytes at a time, as one little-endian word shifted up.
        std::uint64_t carry = stream.bytes.back() & ((1u << shift) - 1);
        const std::size_t at = stream.bytes.size() - 1, n = run.bytes.size();
        stream.bytes.resize(at + n + 1);
        const std::uint8_t* from = run.bytes.data();
        std::uint8_t* to = stream.bytes.data() + at;
        std::size_t i = 0;
        for (; i + 8 <= n; i += 8) {
            std::uint8_t in[8], out[8];
            std::memcpy(in, from + i, 8);
            std::uint64_t word = 0;
            for (int k = 7; k >= 0; --k) word = word << 8 | in[k];
            const std::uint64_t shifted = word << shift | carry;
            for (int k = 0; k < 8; ++k) out[k] = static_cast<std::uint8_t>(shifted >> (8 * k));
            std::memcpy(to + i, out, 8);
            carry = word >> (64 - shift);
        }
        for (; i < n; ++i) {
            to[i] = static_cast<std::uint8_t>(carry | std::uint64_t{from[i]} << shift);
            carry = from[i] >> (8 - shift);
        }
        to[n] = static_cast<std::uint8_t>(carry);
    }
    stream.bitCount += run.bitCount;
    stream.bytes.resize(static_cast<std::size_t>((stream.bitCount + 7) / 8));
}

void LzwEncodeTiffStrip(std::span<const std::uint8_t> data, std::vector<std::uint8_t>& out) {
    Encode<TiffDialect>(data, 8, true, true, out);
}

// Each byte's step waits for the step before it (the table lookup gives the
// next prefix), so one stream leaves the processor idle most of the time;
// the steps of two streams taken in turn overlap.
void LzwEncodeTiffStrips(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b,
                         std::vector<std::uint8_t>& outA, std::vector<std::uint8_t>& outB) {
    Coder<TiffDialect> first(a.size(), 8, true), second(b.size(), 8, true);
    if (!a.empty()) first.Start(a[0]);
    if (!b.empty()) second.Start(b[0]);
    const std::size_t both = std::min(a.size(), b.size());
    std::size_t i = 1;
    for (; i < both; ++i) {
        first.Step(a[i]);
        second.Step(b[i]);
    }
    for (std::size_t j = i; j < a.size(); ++j) first.Step(a[j]);
    for (std::size_t j = i; j < b.size(); ++j) second.Step(b[j]);
    first.Finish(true, outA);
    second.Finish(true, outB);
}

}  // namespace gdip
