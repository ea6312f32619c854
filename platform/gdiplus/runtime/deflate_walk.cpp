// Walks the blocks of a raw deflate stream to find its last block and its end.
#include "deflate_walk.h"

#include <array>
#include <cstring>

#include "deflate_format.h"

namespace gdip {

namespace {

using deflate::kCodeLengthOrder;
using deflate::kDistanceExtra;
using deflate::kLengthExtra;
using deflate::LittleEndian64;

// Bits from the lowest up, as deflate packs them; past the end it reads
// zeros and remembers that it did.
class Bits {
public:
    explicit Bits(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}

    // At least 56 bits in the buffer: eight bytes at a time where there are
    // eight, one at a time near the end.
    void Refill() {
        if (m_next + 8 <= m_bytes.size()) {
            std::uint64_t word;
            std::memcpy(&word, m_bytes.data() + m_next, 8);
            m_buffer |= LittleEndian64(word) << m_count;
            m_next += static_cast<std::size_t>((63 - m_count) >> 3);
            m_count |= 56;
            return;
        }
        while (m_count <= 56) {
            const std::uint64_t byte = m_next < m_bytes.size() ? m_bytes[m_next] : 0;
            m_buffer |= byte << m_count;
            m_count += 8;
            ++m_next;
        }
    }
    std::uint32_t Peek(int n) const {
        return static_cast<std::uint32_t>(m_buffer & ((1ull << n) - 1));
    }
    void Skip(int n) {
        m_buffer >>= n;
        m_count -= n;
        m_position += static_cast<std::uint64_t>(n);
    }
    std::uint32_t Take(int n) {
        const std::uint32_t v = Peek(n);
        Skip(n);
        return v;
    }
    std::uint64_t Position() const { return m_position; }
    bool Overrun() const { return m_position > m_bytes.size() * 8; }

private:
    std::span<const std::uint8_t> m_bytes;
    std::size_t m_next = 0;
    std::uint64_t m_buffer = 0, m_position = 0;
    int m_count = 0;
};

constexpr int kMaxLength = 15;
constexpr int kFastBits = 10;

// A canonical Huffman code: a table for codes up to kFastBits long, and the
// counts per length for the rare longer ones.
class Huffman {
public:
    // False for lengths that over-subscribe the code.
    bool Build(const std::uint8_t* lengths, int n) {
        m_count.fill(0);
        for (int i = 0; i < n; ++i) ++m_count[lengths[i]];
        m_count[0] = 0;
        int left = 1;
        for (int len = 1; len <= kMaxLength; ++len) {
            left = 2 * left - m_count[len];
            if (left < 0) return false;
        }
        std::array<int, kMaxLength + 2> offset{};
        for (int len = 1; len <= kMaxLength; ++len) offset[len + 1] = offset[len] + m_count[len];
        for (int i = 0; i < n; ++i)
            if (lengths[i] != 0) m_symbol[offset[lengths[i]]++] = static_cast<std::uint16_t>(i);
        m_fast.fill(0);
        int code = 0, index = 0;
        for (int len = 1; len <= kFastBits; ++len, code <<= 1)
            for (int k = 0; k < m_count[len]; ++k, ++code, ++index) {
                int reversed = 0;
                for (int b = 0; b < len; ++b) reversed |= ((code >> b) & 1) << (len - 1 - b);
                for (int at = reversed; at < (1 << kFastBits); at += 1 << len)
                    m_fast[at] = static_cast<std::uint32_t>(m_symbol[index] | len << 16);
            }
        return true;
    }

    // The next symbol, or -1 when the bits match no code. Needs 15 bits.
    int Decode(Bits& bits) const {
        const std::uint32_t entry = m_fast[bits.Peek(kFastBits)];
        if (entry != 0) {
            bits.Skip(static_cast<int>(entry >> 16));
            return static_cast<int>(entry & 0xFFFF);
        }
        int code = 0, first = 0, index = 0;
        for (int len = 1; len <= kMaxLength; ++len) {
            code |= static_cast<int>(bits.Take(1));
            const int count = m_count[len];
            if (code - first < count) return m_symbol[index + code - first];
            index += count;
            first = (first + count) << 1;
            code <<= 1;
        }
        return -1;
    }

private:
    std::array<std::uint16_t, kMaxLength + 1> m_count{};
    std::array<std::uint16_t, 288> m_symbol{};
    std::array<std::uint32_t, 1 << kFastBits> m_fast{};
};

bool ReadDynamicCodes(Bits& bits, Huffman& literals, Huffman& distances) {
    bits.Refill();
    const int nLiterals = static_cast<int>(bits.Take(5)) + 257;
    const int nDistances = static_cast<int>(bits.Take(5)) + 1;
    const int nCodeLengths = static_cast<int>(bits.Take(4)) + 4;
    if (nLiterals > 286 || nDistances > 30) return false;
    std::uint8_t lengths[320] = {};
    for (int i = 0; i < nCodeLengths; ++i) {
        bits.Refill();
        lengths[kCodeLengthOrder[i]] = static_cast<std::uint8_t>(bits.Take(3));
    }
    Huffman codeLengths;
    if (!codeLengths.Build(lengths, 19)) return false;
    std::memset(lengths, 0, sizeof lengths);
    for (int i = 0; i < nLiterals + nDistances;) {
        bits.Refill();
        const int symbol = codeLengths.Decode(bits);
        if (symbol < 0) return false;
        if (symbol < 16) {
            lengths[i++] = static_cast<std::uint8_t>(symbol);
            continue;
        }
        std::uint8_t value = 0;
        int repeat = 0;
        if (symbol == 16) {
            if (i == 0) return false;
            value = lengths[i - 1];
            repeat = 3 + static_cast<int>(bits.Take(2));
        } else {
            repeat = symbol == 17 ? 3 + static_cast<int>(bits.Take(3))
                                  : 11 + static_cast<int>(bits.Take(7));
        }
        if (i + repeat > nLiterals + nDistances) return false;
        while (repeat-- > 0) lengths[i++] = value;
    }
    if (lengths[256] == 0) return false;  // no end code
    return literals.Build(lengths, nLiterals) && distances.Build(lengths + nLiterals, nDistances);
}

void FixedCodes(Huffman& literals, Huffman& distances) {
    std::uint8_t lengths[288];
    std::memset(lengths, 8, 144);
    std::memset(lengths + 144, 9, 112);
    std::memset(lengths + 256, 7, 24);
    std::memset(lengths + 280, 8, 8);
    literals.Build(lengths, 288);
    std::memset(lengths, 5, 30);
    distances.Build(lengths, 30);
}

// Steps over one block's symbols up to its end code. Works on a copy of the
// reader, which the compiler can keep in registers.
bool SkipSymbols(Bits& reader, const Huffman& literals, const Huffman& distances) {
    Bits bits = reader;
    for (;;) {
        bits.Refill();
        int symbol = literals.Decode(bits);
        if (symbol < 256) {
            if (symbol < 0) return false;
            // Room for a second literal without a refill (2 x 15 bits).
            symbol = literals.Decode(bits);
            if (symbol < 256) {
                if (symbol < 0) return false;
                continue;
            }
            bits.Refill();
        }
        if (symbol == 256) break;
        if (symbol > 285) return false;
        bits.Skip(kLengthExtra[symbol - 257]);
        const int distance = distances.Decode(bits);
        if (distance < 0 || distance > 29) return false;
        bits.Skip(kDistanceExtra[distance]);
        if (bits.Overrun()) return false;
    }
    reader = bits;
    return true;
}

}  // namespace

bool WalkDeflate(std::span<const std::uint8_t> stream, DeflateShape& shape) {
    Bits bits(stream);
    Huffman literals, distances;
    for (;;) {
        const std::uint64_t start = bits.Position();
        bits.Refill();
        const bool final = bits.Take(1) != 0;
        const std::uint32_t type = bits.Take(2);
        if (type == 0) {
            bits.Skip(static_cast<int>((8 - bits.Position() % 8) % 8));
            bits.Refill();
            const std::uint32_t length = bits.Take(16), inverse = bits.Take(16);
            if ((length ^ 0xFFFF) != inverse) return false;
            for (std::uint32_t left = length; left > 0;) {
                const int n = static_cast<int>(std::min<std::uint32_t>(left, 32));
                bits.Refill();
                bits.Skip(n);
                left -= static_cast<std::uint32_t>(n);
            }
        } else if (type == 1) {
            FixedCodes(literals, distances);
            if (!SkipSymbols(bits, literals, distances)) return false;
        } else if (type == 2) {
            if (!ReadDynamicCodes(bits, literals, distances) ||
                !SkipSymbols(bits, literals, distances))
                return false;
        } else {
            return false;
        }
        if (bits.Overrun()) return false;
        if (final) {
            shape.lastBlockBit = start;
            shape.endBit = bits.Position();
            return true;
        }
    }
}

bool MakeContinuable(std::vector<std::uint8_t>& stream) {
    DeflateShape shape;
    if (!WalkDeflate(stream, shape)) return false;
    stream[shape.lastBlockBit / 8] &= static_cast<std::uint8_t>(~(1u << (shape.lastBlockBit % 8)));
    // An empty stored block: three header bits of zero after the end code,
    // padding to the byte, then length 0 and its complement.
    const std::uint64_t end = shape.endBit;
    const std::size_t total = static_cast<std::size_t>((end + 3 + 7) / 8);
    std::size_t first = static_cast<std::size_t>(end / 8);
    stream.resize(total, 0);
    if (end % 8 != 0) stream[first++] &= static_cast<std::uint8_t>((1u << (end % 8)) - 1);
    for (std::size_t i = first; i < total; ++i) stream[i] = 0;
    const std::uint8_t stored[] = {0x00, 0x00, 0xFF, 0xFF};
    stream.insert(stream.end(), stored, stored + sizeof stored);
    return true;
}

}  // namespace gdip
