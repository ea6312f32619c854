// Deflate of literals and runs, with each block's own Huffman codes.
#include "deflate_runs.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "deflate_format.h"

namespace gdip {

namespace {

using deflate::kCodeLengthOrder;
using deflate::kLengthBase;
using deflate::kLengthExtra;
using deflate::LittleEndian64;

// Tokens: a literal byte is itself; a run of n bytes (kMinRun..kMaxRun) is
// kFirstRun + n - kMinRun.
constexpr unsigned kFirstRun = 256;
constexpr unsigned kTokens = 512;
// A run is coded as a match from five bytes on: a shorter one costs about
// as much as its literals, whose commonest values (small differences) take
// two or three bits each, and a match's length code, extra bits and
// distance bit take eight to ten. (On the benchmark's photographs, matches
// from three bytes on made the output 1.1% larger, from four 0.5%, from six
// 0.9%.)
constexpr unsigned kMinRun = 5, kMaxRun = 258;
// Tokens per block: each block's codes follow the part of the picture it
// covers, and its code tables cost about 70 bytes (on the photographs,
// 2^14 tokens made the output 0.3% larger, 2^18 under 0.1% smaller).
constexpr std::size_t kBlockTokens = std::size_t{1} << 16;
constexpr std::size_t kMaxStored = 65535;

constexpr unsigned kLitLenSymbols = 286, kEndOfBlock = 256;
constexpr unsigned kMaxCodeBits = 15, kMaxCodeLengthBits = 7;

// The length symbol (0..28, counted from 257) of each run length.
constexpr std::array<std::uint8_t, kMaxRun + 1> kRunSymbol = [] {
    std::array<std::uint8_t, kMaxRun + 1> t{};
    for (unsigned s = 0; s < 29; ++s)
        for (unsigned n = kLengthBase[s]; n <= kMaxRun && (s == 28 || n < kLengthBase[s + 1]); ++n)
            t[n] = static_cast<std::uint8_t>(s);
    return t;
}();

// How many of p[0..most) equal `byte`, eight at a time.
std::size_t RunLength(const std::uint8_t* p, std::uint8_t byte, std::size_t most) {
    const std::uint64_t pattern = 0x0101010101010101ULL * byte;
    std::size_t n = 0;
    for (; n + 8 <= most; n += 8) {
        std::uint64_t word;
        std::memcpy(&word, p + n, 8);
        if (const std::uint64_t diff = LittleEndian64(word) ^ pattern; diff != 0)
            return n + static_cast<std::size_t>(std::countr_zero(diff) >> 3);
    }
    while (n < most && p[n] == byte) ++n;
    return n;
}

// Huffman code lengths of at most `limit` bits for the symbols' frequencies
// (0 for a symbol that does not occur). At least two symbols get a length,
// so that every code is complete, as inflaters require.
template <std::size_t N>
void CodeLengths(const std::array<std::uint32_t, N>& frequency, unsigned limit,
                 std::array<std::uint8_t, N>& length) {
    struct Entry {
        std::uint32_t key;  // frequency, then (in place) parent, then depth
        std::uint16_t symbol;
    };
    std::array<Entry, N> a;
    unsigned n = 0;
    for (unsigned s = 0; s < N; ++s)
        if (frequency[s] != 0) a[n++] = {frequency[s], static_cast<std::uint16_t>(s)};
    for (unsigned s = 0; n < 2; ++s)
        if (frequency[s] == 0) a[n++] = {1, static_cast<std::uint16_t>(s)};
    std::sort(a.begin(), a.begin() + n, [](const Entry& x, const Entry& y) {
        return x.key != y.key ? x.key < y.key : x.symbol < y.symbol;
    });
    // Moffat and Katajainen's in-place minimum-redundancy code: the depth
    // of each leaf, the most frequent last.
    a[0].key += a[1].key;
    unsigned root = 0, leaf = 2;
    for (unsigned next = 1; next < n - 1; ++next) {
        if (leaf >= n || a[root].key < a[leaf].key) {
            a[next].key = a[root].key;
            a[root++].key = next;
        } else {
            a[next].key = a[leaf++].key;
        }
        if (leaf >= n || (root < next && a[root].key < a[leaf].key)) {
            a[next].key += a[root].key;
            a[root++].key = next;
        } else {
            a[next].key += a[leaf++].key;
        }
    }
    a[n - 2].key = 0;
    for (int next = static_cast<int>(n) - 3; next >= 0; --next)
        a[next].key = a[a[next].key].key + 1;
    std::array<unsigned, 33> count{};
    {
        int avail = 1, used = 0, depth = 0, r = static_cast<int>(n) - 2,
            next = static_cast<int>(n) - 1;
        while (avail > 0) {
            while (r >= 0 && static_cast<int>(a[r].key) == depth) ++used, --r;
            for (; avail > used; --avail) a[next--].key = static_cast<std::uint32_t>(depth);
            avail = 2 * used;
            ++depth;
            used = 0;
        }
    }
    for (unsigned i = 0; i < n; ++i) ++count[std::min<std::uint32_t>(a[i].key, 32)];
    // Deeper leaves moved up to the limit, and the code made whole again by
    // lengthening the shortest codes that can give room (as zlib does).
    for (unsigned d = limit + 1; d <= 32; ++d) count[limit] += count[d], count[d] = 0;
    std::uint32_t total = 0;
    for (unsigned d = 1; d <= limit; ++d) total += count[d] << (limit - d);
    while (total != (std::uint32_t{1} << limit)) {
        --count[limit];
        for (unsigned d = limit - 1; d > 0; --d)
            if (count[d] != 0) {
                --count[d];
                count[d + 1] += 2;
                break;
            }
        --total;
    }
    length.fill(0);
    unsigned j = n;
    for (unsigned d = 1; d <= limit; ++d)
        for (unsigned c = count[d]; c > 0; --c)
            length[a[--j].symbol] = static_cast<std::uint8_t>(d);
}

// Canonical codes for the lengths, bit-reversed as deflate writes them.
template <std::size_t N>
void CanonicalCodes(const std::array<std::uint8_t, N>& length, std::array<std::uint16_t, N>& code) {
    std::array<unsigned, 16> count{}, next{};
    for (std::uint8_t l : length) ++count[l];
    count[0] = 0;
    for (unsigned l = 1, c = 0; l < 16; ++l) next[l] = c = (c + count[l - 1]) << 1;
    for (std::size_t s = 0; s < N; ++s) {
        if (length[s] == 0) continue;
        const unsigned c = next[length[s]]++;
        unsigned reversed = 0;
        for (unsigned b = 0; b < length[s]; ++b) reversed |= ((c >> b) & 1U) << (length[s] - 1 - b);
        code[s] = static_cast<std::uint16_t>(reversed);
    }
}

// Bits from the lowest up into a buffer sized beforehand.
class BitWriter {
public:
    explicit BitWriter(std::uint8_t* out) : m_out(out) {}
    // n <= 32
    void Put(std::uint32_t bits, unsigned n) {
        m_buffer |= std::uint64_t{bits} << m_count;
        m_count += n;
        if (m_count >= 32) {
            const std::uint64_t word = LittleEndian64(m_buffer);
            std::memcpy(m_out, &word, 4);
            m_out += 4;
            m_buffer >>= 32;
            m_count -= 32;
        }
    }
    // To the next byte boundary, everything written out.
    void Align() {
        for (; m_count > 0; m_count = m_count > 8 ? m_count - 8 : 0) {
            *m_out++ = static_cast<std::uint8_t>(m_buffer);
            m_buffer >>= 8;
        }
    }
    void Bytes(const std::uint8_t* p, std::size_t n) {
        if (n == 0) return;
        std::memcpy(m_out, p, n);
        m_out += n;
    }
    std::uint8_t* End() const { return m_out; }

private:
    std::uint8_t* m_out;
    std::uint64_t m_buffer = 0;
    unsigned m_count = 0;
};

// The code lengths of a block's two codes as the header sends them: runs of
// a length (16), of zeros (17, 18), and single lengths.
struct LengthRuns {
    std::array<std::uint8_t, kLitLenSymbols + 2> symbol{}, extra{};
    unsigned count = 0;
    std::array<std::uint32_t, 19> frequency{};

    void Add(std::uint8_t s, std::uint8_t e) {
        symbol[count] = s;
        extra[count++] = e;
        ++frequency[s];
    }
    void Build(const std::uint8_t* lengths, unsigned n) {
        for (unsigned i = 0; i < n;) {
            const std::uint8_t l = lengths[i];
            unsigned run = 1;
            while (i + run < n && lengths[i + run] == l) ++run;
            i += run;
            if (l == 0) {
                for (; run >= 11; run -= std::min(run, 138U))
                    Add(18, static_cast<std::uint8_t>(std::min(run, 138U) - 11));
                if (run >= 3) Add(17, static_cast<std::uint8_t>(run - 3)), run = 0;
                for (; run > 0; --run) Add(0, 0);
            } else {
                Add(l, 0);
                --run;
                for (; run >= 3; run -= std::min(run, 6U))
                    Add(16, static_cast<std::uint8_t>(std::min(run, 6U) - 3));
                for (; run > 0; --run) Add(l, 0);
            }
        }
    }
};

constexpr std::array<std::uint8_t, 19> kCodeLengthExtraBits = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                                               0, 0, 0, 0, 0, 0, 2, 3, 7};

class Coder {
public:
    // `tokens` holds kBlockTokens.
    Coder(std::span<const std::uint8_t> input, std::uint8_t* out, std::uint16_t* tokens)
        : m_in(input), m_bits(out), m_tokens(tokens) {}

    // One block from m_at on: its tokens counted and coded; the final one
    // of the stream if it reaches the end and the stream is the last.
    void Block(bool lastStream) {
        const std::size_t start = m_at;
        Tokenize();
        const bool final = lastStream && Done();
        // Token frequencies folded into the literal/length alphabet.
        std::array<std::uint32_t, kLitLenSymbols> litLen{};
        std::copy_n(m_frequency.begin(), 256, litLen.begin());
        litLen[kEndOfBlock] = 1;
        for (unsigned n = kMinRun; n <= kMaxRun; ++n)
            litLen[257 + kRunSymbol[n]] += m_frequency[kFirstRun + n - kMinRun];
        std::array<std::uint8_t, kLitLenSymbols> litLenLength;
        CodeLengths(litLen, kMaxCodeBits, litLenLength);
        unsigned hlit = kLitLenSymbols;
        while (hlit > 257 && litLenLength[hlit - 1] == 0) --hlit;
        // Two distance codes of one bit: distance 1, the only one used, and
        // distance 2, so that the code is complete.
        std::array<std::uint8_t, kLitLenSymbols + 2> lengths{};
        std::copy_n(litLenLength.begin(), hlit, lengths.begin());
        lengths[hlit] = lengths[hlit + 1] = 1;
        LengthRuns runs;
        runs.Build(lengths.data(), hlit + 2);
        std::array<std::uint8_t, 19> clLength;
        CodeLengths(runs.frequency, kMaxCodeLengthBits, clLength);
        unsigned hclen = 19;
        while (hclen > 4 && clLength[kCodeLengthOrder[hclen - 1]] == 0) --hclen;

        std::uint64_t bits = 3 + 5 + 5 + 4 + 3 * hclen;
        for (unsigned s = 0; s < 19; ++s)
            bits += std::uint64_t{runs.frequency[s]} * (clLength[s] + kCodeLengthExtraBits[s]);
        for (unsigned s = 0; s < kLitLenSymbols; ++s)
            bits += std::uint64_t{litLen[s]} * litLenLength[s];
        for (unsigned n = kMinRun; n <= kMaxRun; ++n)
            bits += std::uint64_t{m_frequency[kFirstRun + n - kMinRun]} *
                    (kLengthExtra[kRunSymbol[n]] + 1U);
        const std::size_t bytes = m_at - start;
        const std::uint64_t storedBits = 8 * bytes + 48 * (bytes / kMaxStored + 1);
        if (storedBits <= bits) {
            Stored(start, bytes, final);
            return;
        }

        m_bits.Put(final ? 5U : 4U, 3);  // BFINAL, then BTYPE 2
        m_bits.Put(hlit - 257, 5);
        m_bits.Put(1, 5);  // two distance codes
        m_bits.Put(hclen - 4, 4);
        for (unsigned i = 0; i < hclen; ++i) m_bits.Put(clLength[kCodeLengthOrder[i]], 3);
        std::array<std::uint16_t, 19> clCode{};
        CanonicalCodes(clLength, clCode);
        for (unsigned i = 0; i < runs.count; ++i) {
            const std::uint8_t s = runs.symbol[i];
            m_bits.Put(clCode[s], clLength[s]);
            if (kCodeLengthExtraBits[s] != 0) m_bits.Put(runs.extra[i], kCodeLengthExtraBits[s]);
        }
        // Every token's whole code, the run's extra bits and distance code
        // (bit 0) included, so that each is one write.
        std::array<std::uint16_t, kLitLenSymbols> code{};
        CanonicalCodes(litLenLength, code);
        std::array<std::uint32_t, kTokens> tokenBits;
        std::array<std::uint8_t, kTokens> tokenCount;
        for (unsigned t = 0; t < 256; ++t) tokenBits[t] = code[t], tokenCount[t] = litLenLength[t];
        for (unsigned n = kMinRun; n <= kMaxRun; ++n) {
            const unsigned s = kRunSymbol[n], symbol = 257 + s;
            tokenBits[kFirstRun + n - kMinRun] =
                code[symbol] | ((n - kLengthBase[s]) << litLenLength[symbol]);
            tokenCount[kFirstRun + n - kMinRun] =
                static_cast<std::uint8_t>(litLenLength[symbol] + kLengthExtra[s] + 1);
        }
        for (std::size_t i = 0; i < m_tokenCount; ++i)
            m_bits.Put(tokenBits[m_tokens[i]], tokenCount[m_tokens[i]]);
        m_bits.Put(code[kEndOfBlock], litLenLength[kEndOfBlock]);
    }

    bool Done() const { return m_at == m_in.size(); }
    BitWriter& Bits() { return m_bits; }

    // Stored blocks of at most 65535 bytes each.
    void Stored(std::size_t start, std::size_t bytes, bool final) {
        do {
            const std::size_t n = std::min(bytes, kMaxStored);
            bytes -= n;
            m_bits.Put(final && bytes == 0 ? 1U : 0U, 3);
            m_bits.Align();
            const auto len = static_cast<std::uint32_t>(n);
            m_bits.Put(len | ((~len & 0xFFFFU) << 16), 32);
            m_bits.Bytes(m_in.data() + start, n);
            start += n;
        } while (bytes > 0);
    }

private:
    // Tokens from m_at on, at most kBlockTokens of them.
    void Tokenize() {
        m_frequency.fill(0);
        m_tokenCount = 0;
        const std::uint8_t* p = m_in.data();
        const std::size_t size = m_in.size();
        std::size_t at = m_at;
        if (at == 0 && size > 0) {
            ++m_frequency[p[0]];
            m_tokens[m_tokenCount++] = p[0];
            at = 1;
        }
        while (at < size && m_tokenCount < kBlockTokens) {
            const std::uint8_t before = p[at - 1];
            unsigned token = p[at];
            std::size_t step = 1;
            if (token == before) {
                const std::size_t run =
                    RunLength(p + at, before, std::min<std::size_t>(kMaxRun, size - at));
                if (run >= kMinRun)
                    token = kFirstRun + static_cast<unsigned>(run) - kMinRun, step = run;
            }
            ++m_frequency[token];
            m_tokens[m_tokenCount++] = static_cast<std::uint16_t>(token);
            at += step;
        }
        m_at = at;
    }

    std::span<const std::uint8_t> m_in;
    BitWriter m_bits;
    std::size_t m_at = 0;
    std::array<std::uint32_t, kTokens> m_frequency{};
    std::uint16_t* m_tokens;
    std::size_t m_tokenCount = 0;
};

}  // namespace

std::size_t DeflateRunsCoder::Deflate(std::span<const std::uint8_t> input, bool last,
                                      std::vector<std::uint8_t>& out) {
    // A block is coded only when that is shorter than storing its bytes
    // (at most 6 bytes of header per 65535), and every block but the last
    // covers at least kBlockTokens bytes.
    const std::size_t n = input.size();
    const std::size_t bound = n + 6 * (n / kMaxStored + n / kBlockTokens + 2) + 16;
    if (out.size() < bound) out.resize(bound);
    m_tokens.resize(kBlockTokens);
    Coder coder(input, out.data(), m_tokens.data());
    if (n == 0 && last) coder.Stored(0, 0, true);
    while (!coder.Done()) coder.Block(last);
    if (!last) coder.Stored(n, 0, false);  // the empty block of a sync flush
    coder.Bits().Align();
    return static_cast<std::size_t>(coder.Bits().End() - out.data());
}

}  // namespace gdip
