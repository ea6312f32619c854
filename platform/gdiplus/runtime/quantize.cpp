// The GIF palette from a colour histogram, and error diffusion in bands.
#include "quantize.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <limits>
#include <new>
#include <type_traits>

#include "lzw_coder.h"
#include "parallel.h"

namespace gdip {

namespace {

// ---- histogram -------------------------------------------------------------

constexpr int kLevels = 32;  // 5 bits per channel
constexpr int kBins = kLevels * kLevels * kLevels;
// Rows per band of the histogram and of the redrawing: fixed, so that the
// output never depends on the number of threads.
constexpr std::uint32_t kBandRows = 128;

struct Bin {
    std::uint64_t n = 0, r = 0, g = 0, b = 0;

    void Add(const Bin& other) { n += other.n, r += other.r, g += other.g, b += other.b; }
};

int BinOf(const std::uint8_t* px) {
    return (px[0] >> 3) << 10 | (px[1] >> 3) << 5 | px[2] >> 3;
}

// Opaque pixels counted per lattice cell, in bands added up at the end. Each
// thread makes its own count (a megabyte, which one thread took a while to
// zero for all of them).
std::vector<Bin> Histogram(const Bitmap& image, bool hasAlpha) {
    const std::uint32_t bands = (image.height + kBandRows - 1) / kBandRows;
    const std::uint32_t groups = std::min<std::uint32_t>(bands, WorkerCount());
    std::vector<std::vector<Bin>> partial(groups);
    std::atomic<bool> failed{false};
    ParallelFor(groups, [&](std::size_t group) {
        try {
            partial[group].resize(kBins);
        } catch (const std::bad_alloc&) {
            failed = true;
            return;
        }
        Bin* bins = partial[group].data();
        for (std::uint32_t band = static_cast<std::uint32_t>(group); band < bands; band += groups) {
            const std::uint32_t end = std::min(image.height, (band + 1) * kBandRows);
            for (std::uint32_t y = band * kBandRows; y < end; ++y) {
                const std::uint8_t* px = image.Row(y);
                for (std::uint32_t x = 0; x < image.width; ++x, px += 4) {
                    if (hasAlpha && px[3] < Quantizer::kAlphaThreshold) continue;
                    Bin& bin = bins[BinOf(px)];
                    ++bin.n, bin.r += px[0], bin.g += px[1], bin.b += px[2];
                }
            }
        }
    });
    if (failed) throw std::bad_alloc();
    for (std::uint32_t group = 1; group < groups; ++group)
        for (int i = 0; i < kBins; ++i) partial[0][i].Add(partial[group][i]);
    return std::move(partial[0]);
}

// ---- boxes cut where they hold the most squared error ----------------------

constexpr int kSide = kLevels + 1;  // cumulative moments need a zero border

struct Box {
    int r0 = 0, r1 = kLevels, g0 = 0, g1 = kLevels, b0 = 0, b1 = kLevels;  // (lo, hi]
};

// Cumulative moments of the histogram: weight, colour sums and the sum of
// squared colours, each summed over the box from the origin.
class Moments {
public:
    explicit Moments(const std::vector<Bin>& bins)
        : m_w(kSide * kSide * kSide),
          m_r(m_w.size()),
          m_g(m_w.size()),
          m_b(m_w.size()),
          m_m2(m_w.size()) {
        for (int i = 0; i < kBins; ++i) {
            const Bin& bin = bins[i];
            if (bin.n == 0) continue;
            const int at = Index((i >> 10) + 1, ((i >> 5) & 31) + 1, (i & 31) + 1);
            m_w[at] = static_cast<double>(bin.n);
            m_r[at] = static_cast<double>(bin.r);
            m_g[at] = static_cast<double>(bin.g);
            m_b[at] = static_cast<double>(bin.b);
            // Each cell's pixels taken at its mean: the spread inside a cell
            // cannot be cut anyway.
            m_m2[at] = (m_r[at] * m_r[at] + m_g[at] * m_g[at] + m_b[at] * m_b[at]) / m_w[at];
        }
        for (std::vector<double>* m : {&m_w, &m_r, &m_g, &m_b, &m_m2}) Cumulate(*m);
    }

    struct Sums {
        double w = 0, r = 0, g = 0, b = 0;
    };

    Sums Volume(const Box& x) const { return {Vol(x, m_w), Vol(x, m_r), Vol(x, m_g), Vol(x, m_b)}; }
    double Variance(const Box& x) const {
        const Sums s = Volume(x);
        return Vol(x, m_m2) - (s.r * s.r + s.g * s.g + s.b * s.b) / s.w;
    }

    // The best cut of box along one axis (0 red, 1 green, 2 blue): the
    // position, or -1, and the gain it brings.
    double Maximize(const Box& x, int axis, const Sums& whole, int& cut) const {
        const int lo = axis == 0 ? x.r0 : axis == 1 ? x.g0 : x.b0;
        const int hi = axis == 0 ? x.r1 : axis == 1 ? x.g1 : x.b1;
        double best = 0;
        cut = -1;
        for (int at = lo + 1; at < hi; ++at) {
            Box lower = x;
            (axis == 0 ? lower.r1 : axis == 1 ? lower.g1 : lower.b1) = at;
            const Sums half = Volume(lower);
            if (half.w <= 0 || whole.w - half.w <= 0) continue;
            const double rest_r = whole.r - half.r, rest_g = whole.g - half.g,
                         rest_b = whole.b - half.b;
            const double gain =
                (half.r * half.r + half.g * half.g + half.b * half.b) / half.w +
                (rest_r * rest_r + rest_g * rest_g + rest_b * rest_b) / (whole.w - half.w);
            if (gain > best) best = gain, cut = at;
        }
        return best;
    }

private:
    static int Index(int r, int g, int b) { return (r * kSide + g) * kSide + b; }

    static void Cumulate(std::vector<double>& m) {
        for (int r = 1; r < kSide; ++r) {
            double area[kSide] = {};
            for (int g = 1; g < kSide; ++g) {
                double line = 0;
                for (int b = 1; b < kSide; ++b) {
                    line += m[Index(r, g, b)];
                    area[b] += line;
                    m[Index(r, g, b)] = m[Index(r - 1, g, b)] + area[b];
                }
            }
        }
    }

    static double Vol(const Box& x, const std::vector<double>& m) {
        return m[Index(x.r1, x.g1, x.b1)] - m[Index(x.r1, x.g1, x.b0)] -
               m[Index(x.r1, x.g0, x.b1)] + m[Index(x.r1, x.g0, x.b0)] -
               m[Index(x.r0, x.g1, x.b1)] + m[Index(x.r0, x.g1, x.b0)] +
               m[Index(x.r0, x.g0, x.b1)] - m[Index(x.r0, x.g0, x.b0)];
    }

    std::vector<double> m_w, m_r, m_g, m_b, m_m2;
};

// Splits `box` in two along its best axis; false when it cannot be split.
bool Cut(const Moments& m, Box& box, Box& other) {
    const Moments::Sums whole = m.Volume(box);
    int cut[3];
    double gain[3];
    for (int axis = 0; axis < 3; ++axis) gain[axis] = m.Maximize(box, axis, whole, cut[axis]);
    const int axis = gain[0] >= gain[1] && gain[0] >= gain[2] ? 0 : gain[1] >= gain[2] ? 1 : 2;
    if (cut[axis] < 0) return false;
    other = box;
    if (axis == 0) other.r0 = box.r1 = cut[0];
    if (axis == 1) other.g0 = box.g1 = cut[1];
    if (axis == 2) other.b0 = box.b1 = cut[2];
    return true;
}

int CellCount(const Box& x) {
    return (x.r1 - x.r0) * (x.g1 - x.g0) * (x.b1 - x.b0);
}

std::vector<Box> CutBoxes(const Moments& m, int wanted) {
    std::vector<Box> boxes(1);
    std::vector<double> variance(1, 0);
    std::size_t next = 0;
    while (static_cast<int>(boxes.size()) < wanted) {
        Box other;
        if (Cut(m, boxes[next], other)) {
            boxes.push_back(other);
            variance[next] = CellCount(boxes[next]) > 1 ? m.Variance(boxes[next]) : 0;
            variance.push_back(CellCount(other) > 1 ? m.Variance(other) : 0);
        } else {
            variance[next] = 0;
        }
        next = static_cast<std::size_t>(std::max_element(variance.begin(), variance.end()) -
                                        variance.begin());
        if (variance[next] <= 0) break;
    }
    return boxes;
}

// ---- refinement ------------------------------------------------------------

using Colour = std::array<std::uint8_t, 3>;

// The nearest of the first `count` entries of a palette sorted by green
// (of those equally near, the first): the search walks outward from the
// entry of the nearest green and stops on each side once green alone is
// farther than the best match.
int NearestOf(const std::vector<Colour>& palette, int count, int r, int g, int b) {
    int lo = 0, hi = count;
    while (lo < hi) {
        const int mid = (lo + hi) / 2;
        if (palette[mid][1] < g)
            lo = mid + 1;
        else
            hi = mid;
    }
    int best = 0, bestDistance = std::numeric_limits<int>::max();
    const auto consider = [&](int i) {
        const int dr = palette[i][0] - r, dg = palette[i][1] - g, db = palette[i][2] - b;
        if (dg * dg > bestDistance) return false;
        const int distance = dr * dr + dg * dg + db * db;
        if (distance < bestDistance || (distance == bestDistance && i < best))
            best = i, bestDistance = distance;
        return true;
    };
    for (int up = lo, down = lo - 1; up < count || down >= 0;) {
        if (up < count && !consider(up++)) up = count;
        if (down >= 0 && !consider(down--)) down = -1;
    }
    return best;
}

void SortByGreen(std::vector<Colour>& palette) {
    std::sort(palette.begin(), palette.end(),
              [](const Colour& a, const Colour& b) { return a[1] != b[1] ? a[1] < b[1] : a < b; });
}

// Rounds of moving each colour to the mean of the cells nearest to it.
constexpr int kRefineRounds = 2;

void Refine(const std::vector<Bin>& bins, std::vector<Colour>& palette) {
    std::vector<int> used;
    for (int i = 0; i < kBins; ++i)
        if (bins[i].n != 0) used.push_back(i);
    const int count = static_cast<int>(palette.size());
    // The cells are shared out in pieces, each thread summing into its own
    // sums, added up after: whole numbers, the same in any order.
    constexpr std::size_t kPiece = 2048;
    const std::size_t parts =
        std::min<std::size_t>(WorkerCount(), (used.size() + kPiece - 1) / kPiece);
    std::vector<std::vector<Bin>> partial(std::max<std::size_t>(parts, 1),
                                          std::vector<Bin>(palette.size()));
    for (int round = 0; round < kRefineRounds; ++round) {
        SortByGreen(palette);
        for (std::vector<Bin>& sums : partial) std::fill(sums.begin(), sums.end(), Bin{});
        ParallelFor(parts, [&](std::size_t part) {
            std::vector<Bin>& sums = partial[part];
            const std::size_t end = used.size() * (part + 1) / parts;
            for (std::size_t u = used.size() * part / parts; u < end; ++u) {
                const Bin& bin = bins[used[u]];
                const double n = static_cast<double>(bin.n);
                const int nearest =
                    NearestOf(palette, count, static_cast<int>(bin.r / n + 0.5),
                              static_cast<int>(bin.g / n + 0.5), static_cast<int>(bin.b / n + 0.5));
                sums[nearest].Add(bin);
            }
        });
        std::vector<Bin>& sums = partial[0];
        for (std::size_t part = 1; part < parts; ++part)
            for (int k = 0; k < count; ++k) sums[k].Add(partial[part][k]);
        for (int k = 0; k < count; ++k) {
            if (sums[k].n == 0) continue;
            const std::uint64_t n = sums[k].n;
            palette[k] = {static_cast<std::uint8_t>((sums[k].r + n / 2) / n),
                          static_cast<std::uint8_t>((sums[k].g + n / 2) / n),
                          static_cast<std::uint8_t>((sums[k].b + n / 2) / n)};
        }
    }
}

constexpr int kCacheBits = 6;

// Rows of error diffusion done above a band before its own rows.
constexpr std::uint32_t kWarmRows = 8;

}  // namespace

Quantizer::Quantizer(const Bitmap& image) : m_image(image) {
    if (TryExact()) return;
    BuildFromHistogram();
}

// Few colours: a palette of exactly those, found in one pass that stops as
// soon as there are too many.
bool Quantizer::TryExact() {
    constexpr std::uint32_t kSlots = 1024, kUsed = 1u << 24;
    std::vector<std::uint32_t> keys(kSlots, 0);
    std::vector<std::uint8_t> index(kSlots, 0);
    bool anyTransparent = false;
    std::vector<Colour> colours;
    for (std::uint32_t y = 0; y < m_image.height; ++y) {
        const std::uint8_t* px = m_image.Row(y);
        for (std::uint32_t x = 0; x < m_image.width; ++x, px += 4) {
            if (IsTransparent(px)) {
                anyTransparent = true;
                continue;
            }
            const std::uint32_t key = kUsed | px[0] << 16 | px[1] << 8 | px[2];
            std::uint32_t at = (key * 2654435761u) >> 22;
            while (keys[at] != 0 && keys[at] != key) at = (at + 1) & (kSlots - 1);
            if (keys[at] == key) continue;
            if (colours.size() == 256) return false;
            keys[at] = key;
            index[at] = static_cast<std::uint8_t>(colours.size());
            colours.push_back({px[0], px[1], px[2]});
        }
    }
    if (colours.size() + (anyTransparent ? 1 : 0) > 256) return false;
    m_palette = std::move(colours);
    m_opaque = static_cast<int>(m_palette.size());
    if (anyTransparent) {
        m_transparent = m_opaque;
        m_palette.push_back({0, 0, 0});
    }
    m_exactKeys = std::move(keys);
    m_exactIndex = std::move(index);
    m_exact = true;
    return true;
}

void Quantizer::BuildFromHistogram() {
    const std::vector<Bin> bins = Histogram(m_image, m_image.hasAlpha);
    bool anyTransparent = false;
    std::uint64_t opaque = 0;
    for (const Bin& bin : bins) opaque += bin.n;
    anyTransparent = opaque < std::uint64_t{m_image.width} * m_image.height;
    {
        const Moments moments(bins);
        for (const Box& box : CutBoxes(moments, anyTransparent ? 255 : 256)) {
            const Moments::Sums s = moments.Volume(box);
            if (s.w <= 0) continue;
            m_palette.push_back({static_cast<std::uint8_t>(s.r / s.w + 0.5),
                                 static_cast<std::uint8_t>(s.g / s.w + 0.5),
                                 static_cast<std::uint8_t>(s.b / s.w + 0.5)});
        }
    }
    Refine(bins, m_palette);
    SortByGreen(m_palette);
    m_opaque = static_cast<int>(m_palette.size());
    if (anyTransparent) {
        m_transparent = m_opaque;
        m_palette.push_back({0, 0, 0});
    }
    constexpr std::size_t cells = std::size_t{1} << (3 * kCacheBits);
    // No entry is index 0 with another colour than entry 0's.
    m_unknown = Entry(0) ^ 1;
    m_cache.reset(new std::atomic<std::uint32_t>[cells]);
    for (std::size_t i = 0; i < cells; ++i) m_cache[i].store(m_unknown, std::memory_order_relaxed);
    MeasureReach();
    constexpr std::size_t boxes = std::size_t{1} << (3 * kBoxBits);
    m_boxes.reset(new std::vector<std::int16_t>[boxes]);
    m_boxState.reset(new std::atomic<std::uint8_t>[boxes]);
    for (std::size_t i = 0; i < boxes; ++i)
        m_boxState[i].store(kBoxEmpty, std::memory_order_relaxed);
}

// The entries that can be nearest to some colour of a box of the coarse
// lattice: those no farther from the box than the farthest point of the box
// is from the entry that is nearest at worst.
std::vector<std::int16_t> Quantizer::Candidates(int box) const {
    constexpr int boxMask = (1 << kBoxBits) - 1;
    const int at[3] = {box >> (2 * kBoxBits), (box >> kBoxBits) & boxMask, box & boxMask};
    const std::uint16_t *nearR = Reach(0, 0, at[0]), *nearG = Reach(0, 1, at[1]),
                        *nearB = Reach(0, 2, at[2]);
    const std::uint16_t *farR = Reach(1, 0, at[0]), *farG = Reach(1, 1, at[1]),
                        *farB = Reach(1, 2, at[2]);
    std::int32_t nearest[256];
    std::int32_t bound = std::numeric_limits<std::int32_t>::max();
    for (int i = 0; i < m_opaque; ++i) {
        nearest[i] = std::int32_t{nearR[i]} + nearG[i] + nearB[i];
        bound = std::min(bound, std::int32_t{farR[i]} + farG[i] + farB[i]);
    }
    std::uint8_t chosen[256];
    int count = 0;
    for (int i = 0; i < m_opaque; ++i)
        if (nearest[i] <= bound) chosen[count++] = static_cast<std::uint8_t>(i);
    std::vector<std::int16_t> list(4 * static_cast<std::size_t>(count));
    for (int k = 0; k < count; ++k) {
        for (int c = 0; c < 3; ++c) list[c * count + k] = m_palette[chosen[k]][c];
        list[3 * count + k] = chosen[k];
    }
    return list;
}

// Per channel, per box of the coarse lattice along it and per palette entry:
// the squared distance from the entry to the box's nearest and farthest
// value, so that an entry's reach of a box is three sums.
void Quantizer::MeasureReach() {
    constexpr int side = 1 << (8 - kBoxBits);
    m_reach.assign(std::size_t{2 * 3 * 256} << kBoxBits, 0);
    for (int c = 0; c < 3; ++c)
        for (int at = 0; at < (1 << kBoxBits); ++at) {
            std::uint16_t* nearest = m_reach.data() + (Reach(0, c, at) - m_reach.data());
            std::uint16_t* farthest = m_reach.data() + (Reach(1, c, at) - m_reach.data());
            const int lo = at * side, hi = lo + side - 1;
            for (int i = 0; i < m_opaque; ++i) {
                const int v = m_palette[i][c];
                const int in = std::max({lo - v, v - hi, 0}), out = std::max(v - lo, hi - v);
                nearest[i] = static_cast<std::uint16_t>(in * in);
                farthest[i] = static_cast<std::uint16_t>(out * out);
            }
        }
}

// Of those equally near, the first, however it is found: the result never
// depends on which thread asked first.
int Quantizer::Nearest(int r, int g, int b) const {
    if (m_opaque == 0) return 0;
    const int box = (r >> (8 - kBoxBits)) << (2 * kBoxBits) | (g >> (8 - kBoxBits)) << kBoxBits |
                    (b >> (8 - kBoxBits));
    std::uint8_t state = m_boxState[box].load(std::memory_order_acquire);
    if (state == kBoxEmpty && m_boxState[box].compare_exchange_strong(state, kBoxBuilding)) {
        m_boxes[box] = Candidates(box);
        m_boxState[box].store(state = kBoxReady, std::memory_order_release);
    }
    if (state != kBoxReady) return NearestOf(m_palette, m_opaque, r, g, b);
    // All distances first (the compiler takes several at a time; squares of
    // differences of bytes fit 16 bits unsigned), then the least, then the
    // first candidate at it, which has the lowest index.
    const std::vector<std::int16_t>& list = m_boxes[box];
    const int count = static_cast<int>(list.size() / 4);
    const std::int16_t *red = list.data(), *green = red + count, *blue = green + count;
    const auto square = [](int d) { return std::int32_t{static_cast<std::uint16_t>(d * d)}; };
    std::int32_t distance[256];
    std::int32_t least = std::numeric_limits<std::int32_t>::max();
    for (int k = 0; k < count; ++k) {
        distance[k] = square(std::int16_t(red[k] - r)) + square(std::int16_t(green[k] - g)) +
                      square(std::int16_t(blue[k] - b));
        least = std::min(least, distance[k]);
    }
    int k = 0;
    while (distance[k] != least) ++k;
    return list[3 * count + k];
}

// The nearest entry to the centre of a cell met for the first time. Threads
// that meet it at once compute the same answer, so a plain store does.
// A cache entry: the palette index in the top byte and the entry's colour
// below, so that the error is one load away from the cell rather than two.
std::uint32_t Quantizer::Entry(int index) const {
    const Colour& c = m_palette[static_cast<std::size_t>(index)];
    return static_cast<std::uint32_t>(index) << 24 | std::uint32_t{c[2]} << 16 |
           std::uint32_t{c[1]} << 8 | c[0];
}

std::uint32_t Quantizer::FillCell(std::size_t cell) const {
    constexpr int shift = 8 - kCacheBits, half = 1 << (shift - 1), mask = (1 << kCacheBits) - 1;
    const auto centre = [&](int at) {
        return static_cast<int>((cell >> (at * kCacheBits)) & mask) << shift | half;
    };
    const std::uint32_t entry = Entry(Nearest(centre(2), centre(1), centre(0)));
    m_cache[cell].store(entry, std::memory_order_relaxed);
    return entry;
}

void Quantizer::RemapExact(std::uint32_t first, std::uint32_t count, std::uint8_t* out) const {
    constexpr std::uint32_t kSlots = 1024, kUsed = 1u << 24;
    for (std::uint32_t y = first; y < first + count; ++y) {
        const std::uint8_t* px = m_image.Row(y);
        for (std::uint32_t x = 0; x < m_image.width; ++x, px += 4) {
            if (IsTransparent(px)) {
                *out++ = static_cast<std::uint8_t>(m_transparent);
                continue;
            }
            const std::uint32_t key = kUsed | px[0] << 16 | px[1] << 8 | px[2];
            std::uint32_t at = (key * 2654435761u) >> 22;
            while (m_exactKeys[at] != key) at = (at + 1) & (kSlots - 1);
            *out++ = m_exactIndex[at];
        }
    }
}

// Floyd-Steinberg, serpentine (the direction follows the row's parity, so a
// band sees the same rows as the whole picture would). Errors are kept in
// sixteenths; a transparent pixel neither takes nor passes on any. The share
// of the next pixel and the two still open cells of the row below travel in
// variables, so that each cell below is written once.
//
// One row, its direction and whether the image has alpha fixed when
// compiled: the loop then holds nothing but the pixel's own work, every
// pointer it needs in registers (a store through a byte pointer would make
// the compiler load them again at every pixel).
template <bool kForward, bool kAlpha, class Sink>
void Quantizer::DiffuseRow(const std::uint8_t* row, const int* here, int* below, std::uint8_t* dst,
                           const std::uint8_t* behind, Sink& sink) const {
    const std::uint32_t w = m_image.width;
    constexpr std::ptrdiff_t dir = kForward ? 1 : -1;
    constexpr int shift = 8 - kCacheBits;
    const std::atomic<std::uint32_t>* const cache = m_cache.get();
    const std::uint32_t unknown = m_unknown;
    const auto transparent = static_cast<std::uint8_t>(m_transparent);
    const std::ptrdiff_t start = kForward ? 0 : std::ptrdiff_t{w} - 1;
    const std::uint8_t* px = row + start * 4;
    const int* e = here + start * 3;
    int* b = below + start * 3;
    std::uint8_t* out = dst + start;
    // The share of the pixel ahead carries the rounding of the sixteenths,
    // and comes last into the sum (the pixel's value, in sixteenths, and
    // the row above's share do not wait for it).
    int right0 = 8, right1 = 8, right2 = 8, open0 = 0, open1 = 0, open2 = 0;
    int next0 = 0, next1 = 0, next2 = 0;
    for (std::uint32_t i = 0; i < w; ++i, px += 4 * dir, e += 3 * dir, b += 3 * dir, out += dir) {
        sink.Step(behind[i]);  // the row before, in the order it is coded
        int err0 = 0, err1 = 0, err2 = 0;
        if (kAlpha && px[3] < kAlphaThreshold) {
            *out = transparent;
        } else {
            const int v0 = std::clamp((px[0] * 16 + e[0] + right0) >> 4, 0, 255);
            const int v1 = std::clamp((px[1] * 16 + e[1] + right1) >> 4, 0, 255);
            const int v2 = std::clamp((px[2] * 16 + e[2] + right2) >> 4, 0, 255);
            const std::size_t cell = std::size_t(v0 >> shift) << (2 * kCacheBits) |
                                     std::size_t(v1 >> shift) << kCacheBits |
                                     std::size_t(v2 >> shift);
            std::uint32_t entry = cache[cell].load(std::memory_order_relaxed);
            if (entry == unknown) entry = FillCell(cell);
            *out = static_cast<std::uint8_t>(entry >> 24);
            err0 = v0 - static_cast<int>(entry & 0xFF);
            err1 = v1 - static_cast<int>(entry >> 8 & 0xFF);
            err2 = v2 - static_cast<int>(entry >> 16 & 0xFF);
        }
        // The cell behind is complete.
        b[-3 * dir] = open0 + err0 * 3;
        b[-3 * dir + 1] = open1 + err1 * 3;
        b[-3 * dir + 2] = open2 + err2 * 3;
        open0 = next0 + err0 * 5, open1 = next1 + err1 * 5, open2 = next2 + err2 * 5;
        next0 = err0, next1 = err1, next2 = err2;
        right0 = err0 * 7 + 8, right1 = err1 * 7 + 8, right2 = err2 * 7 + 8;
    }
    b[-3 * dir] = open0, b[-3 * dir + 1] = open1, b[-3 * dir + 2] = open2;
}

namespace {

// The coder of a Remap given none.
struct NoCoder {
    void Start(std::uint32_t) {}
    void Step(std::uint32_t) {}
};

}  // namespace

// Rows [first, first + count) into out and into sink: the band's first row
// once it is made, each row after it while the next is made (a row's
// redrawing steps the coder through the row before), and the last row at
// the end.
// Rows above the band are redrawn only to warm the errors.
template <class Sink>
void Quantizer::RemapRows(std::uint32_t first, std::uint32_t count, std::uint8_t* out,
                          Sink& sink) const {
    const std::uint32_t w = m_image.width;
    std::vector<std::uint8_t> warm(w);  // indices of the rows above the band, dropped
    std::vector<int> errors(2 * (std::size_t{w} + 2) * 3, 0);
    int* here = errors.data() + 3;  // one spare pixel at each end
    int* below = here + (std::size_t{w} + 2) * 3;
    const std::uint32_t start = first > kWarmRows ? first - kWarmRows : 0;
    // A picture with alpha but no pixel transparent enough has no
    // transparent entry, and its pixels need no look at their alpha.
    const bool alpha = m_transparent >= 0;
    NoCoder none;
    const auto diffuse = [&]<class Coder>(Coder& coder, const std::uint8_t* row, std::uint8_t* dst,
                                          const std::uint8_t* behind, bool forward) {
        if constexpr (std::is_same_v<Coder, NoCoder>) {
            if (alpha) {
                forward ? DiffuseRow<true, true>(row, here, below, dst, behind, coder)
                        : DiffuseRow<false, true>(row, here, below, dst, behind, coder);
                return;
            }
        }
        forward ? DiffuseRow<true, false>(row, here, below, dst, behind, coder)
                : DiffuseRow<false, false>(row, here, below, dst, behind, coder);
    };
    for (std::uint32_t y = start; y < first + count; ++y) {
        const std::uint8_t* row = m_image.Row(y);
        std::uint8_t* dst = y >= first ? out + std::size_t{y - first} * w : warm.data();
        if (y > first + 1) {
            diffuse(sink, row, dst, dst - w, y % 2 == 0);
        } else {
            diffuse(none, row, dst, dst, y % 2 == 0);
            if (y == first) {
                sink.Start(dst[0]);
                for (std::uint32_t i = 1; i < w; ++i) sink.Step(dst[i]);
            }
        }
        std::swap(here, below);
    }
    if (count > 1) {
        const std::uint8_t* last = out + std::size_t{count - 1} * w;
        for (std::uint32_t i = 0; i < w; ++i) sink.Step(last[i]);
    }
}

void Quantizer::Remap(std::uint32_t first, std::uint32_t count, std::uint8_t* out,
                      lzw::GifCoder* coder) const {
    NoCoder none;
    // Only opaque pictures code as they diffuse: the loops that do both are
    // large, and the runtime module's size is fixed.
    if (!m_exact && coder != nullptr && m_transparent < 0) {
        RemapRows(first, count, out, *coder);
        return;
    }
    if (m_exact)
        RemapExact(first, count, out);
    else
        RemapRows(first, count, out, none);
    const std::size_t n = std::size_t{m_image.width} * count;
    if (coder == nullptr || n == 0) return;
    coder->Start(out[0]);
    for (std::size_t i = 1; i < n; ++i) coder->Step(out[i]);
}

}  // namespace gdip
