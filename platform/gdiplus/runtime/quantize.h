// Up to 256 colours for a picture, and the picture redrawn in them.
//
// A picture of few colours keeps exactly those. Any other gets a palette cut
// from a histogram of its colours on a 5-bit-per-channel lattice (each box
// of the lattice split where that removes the most squared error, then
// refined by a few rounds of moving each colour to the mean of what it
// stands for); its pixels are then redrawn with Floyd-Steinberg error
// diffusion, through a cache of the nearest palette entry of each cell of a
// 6-bit lattice. Histogram and redrawing run in bands of rows, side by side.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "codec.h"

namespace gdip {

namespace lzw {
class GifCoder;
}

class Quantizer {
public:
    // Pixels below this alpha (when the image has alpha) all take one
    // transparent palette entry.
    static constexpr std::uint8_t kAlphaThreshold = 128;

    // Builds the palette; may throw std::bad_alloc.
    explicit Quantizer(const Bitmap& image);

    // The opaque colours, then the transparent entry when there is one.
    const std::vector<std::array<std::uint8_t, 3>>& Palette() const { return m_palette; }
    int Transparent() const { return m_transparent; }

    // Palette indices of rows [first, first + count) into out. Error
    // diffusion starts a few rows above `first`, so that bands done apart
    // meet without a seam. Safe to call from several threads at once; may
    // throw std::bad_alloc. With a coder, the indices also go to it in order
    // (Start and Step), each row's coding overlapping the next row's
    // redrawing: two chains of steps that each wait on the step before, which
    // the processor works on at once.
    void Remap(std::uint32_t first, std::uint32_t count, std::uint8_t* out,
               lzw::GifCoder* coder = nullptr) const;

private:
    bool TryExact();
    void BuildFromHistogram();
    int Nearest(int r, int g, int b) const;
    std::vector<std::int16_t> Candidates(int box) const;
    void MeasureReach();
    std::uint32_t Entry(int index) const;
    std::uint32_t FillCell(std::size_t cell) const;
    template <bool kForward, bool kAlpha, class Sink>
    void DiffuseRow(const std::uint8_t* row, const int* here, int* below, std::uint8_t* dst,
                    const std::uint8_t* behind, Sink& sink) const;
    template <class Sink>
    void RemapRows(std::uint32_t first, std::uint32_t count, std::uint8_t* out, Sink& sink) const;
    void RemapExact(std::uint32_t first, std::uint32_t count, std::uint8_t* out) const;
    bool IsTransparent(const std::uint8_t* px) const {
        return m_image.hasAlpha && px[3] < kAlphaThreshold;
    }

    const Bitmap& m_image;
    std::vector<std::array<std::uint8_t, 3>> m_palette;
    int m_opaque = 0;  // palette entries that are colours
    int m_transparent = -1;
    bool m_exact = false;
    // Exact palettes: colour (24 bits, plus 1 << 24 when used) -> index.
    std::vector<std::uint32_t> m_exactKeys;
    std::vector<std::uint8_t> m_exactIndex;
    // Otherwise: nearest entry per 6-bit lattice cell, with its colour
    // (Entry), m_unknown while unknown, found among the candidates of its
    // box of a 4-bit lattice, which the first thread to need them lists.
    std::unique_ptr<std::atomic<std::uint32_t>[]> m_cache;
    std::uint32_t m_unknown = 0;
    static constexpr int kBoxBits = 4;
    static constexpr std::uint8_t kBoxEmpty = 0, kBoxBuilding = 1, kBoxReady = 2;
    // A box's candidates: their reds, greens, blues and palette indices, one
    // after the other (Candidates).
    mutable std::unique_ptr<std::vector<std::int16_t>[]> m_boxes;
    std::unique_ptr<std::atomic<std::uint8_t>[]> m_boxState;
    // Squared distances of each entry to the nearest [0] and the farthest
    // [1] value of each box along each channel (MeasureReach).
    std::vector<std::uint16_t> m_reach;
    const std::uint16_t* Reach(int far, int channel, int at) const {
        return m_reach.data() + ((far * 3 + channel) * (1 << kBoxBits) + at) * 256;
    }
};

}  // namespace gdip
