// The LZW coder itself, one byte at a time, for the writers that code their
// bytes as they make them (lzw.h codes whole runs).
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "lzw.h"

namespace gdip::lzw {

constexpr int kMaxBits = 12;

// The string table: (prefix, next byte) -> code, open addressing in eight
// times as many slots as there are codes, so that a string is seldom
// anywhere but where it is first looked for. A string is known by the slot that holds it
// (single bytes by kRoot + byte), not by its code: when the first slot
// tried holds the string, that slot, already in hand, is the next prefix,
// so a byte waits only for the hash of the one before, while the load and
// the compare that confirm it are left to the branch the processor guesses.
// The codes, wanted only when one is written, sit apart.
class StringTable {
public:
    static constexpr std::uint32_t kSlotBits = kMaxBits + 3;
    static constexpr std::uint32_t kSlots = 1u << kSlotBits;
    static constexpr std::uint32_t kRoot = kSlots;

    StringTable() : m_keys(new std::uint32_t[kSlots]), m_codes(new std::uint16_t[kSlots + 256]) {
        Clear();
        for (std::uint32_t b = 0; b < 256; ++b) m_codes[kRoot + b] = static_cast<std::uint16_t>(b);
    }

    void Clear() { std::memset(m_keys.get(), 0xFF, kSlots * sizeof(std::uint32_t)); }

    // Where to look first for prefix+byte; the byte's part comes from the
    // input, ready long before the prefix.
    static std::uint32_t Home(std::uint32_t prefix, std::uint32_t byte) {
        return (prefix * kHash + byte * kByteHash) >> (32 - kSlotBits);
    }

    // The slot of prefix+byte, or, when absent, the free slot to add it in
    // with `found` false.
    std::uint32_t Find(std::uint32_t prefix, std::uint32_t byte, bool& found) const {
        const std::uint32_t key = prefix << 8 | byte;
        for (std::uint32_t at = Home(prefix, byte);; at = (at + 1) & (kSlots - 1)) {
            const std::uint32_t s = m_keys[at];
            if (s == key) [[likely]] {
                found = true;
                return at;
            }
            if (s == kFree) {
                found = false;
                return at;
            }
        }
    }

    void Add(std::uint32_t slot, std::uint32_t prefix, std::uint32_t byte, int code) {
        m_keys[slot] = prefix << 8 | byte;
        m_codes[slot] = static_cast<std::uint16_t>(code);
    }

    std::uint32_t Code(std::uint32_t string) const { return m_codes[string]; }

private:
    static constexpr std::uint32_t kFree = 0xFFFFFFFF;
    static constexpr std::uint32_t kHash = 2654435761u, kByteHash = 0x85EBCA77u;

    std::unique_ptr<std::uint32_t[]> m_keys;
    std::unique_ptr<std::uint16_t[]> m_codes;
};

// Codes packed from the lowest bit up (GIF) or the highest down (TIFF), into
// a buffer sized for the worst case.
template <bool kLowFirst>
class BitWriter {
public:
    explicit BitWriter(std::size_t maxCodes) : m_out(new std::uint8_t[maxCodes * 2 + 16]) {}

    // Whether a word is full is as good as random to the processor, and a
    // wrong guess costs more than the work: the word is stored every time
    // and kept only once it is full.
    void Put(std::uint32_t code, int width) {
        if constexpr (kLowFirst) {
            m_acc |= std::uint64_t{code} << m_bits;
            m_bits += width;
            const int full = m_bits >= 32 ? 1 : 0;
            StoreAt(static_cast<std::uint32_t>(m_acc));
            m_size += 4 * static_cast<std::size_t>(full);
            m_acc >>= 32 * full;
            m_bits -= 32 * full;
        } else {
            m_acc = (m_acc << width) | code;
            m_bits += width;
            const int full = m_bits >= 32 ? 1 : 0;
            m_bits -= 32 * full;
            StoreAt(static_cast<std::uint32_t>(m_acc >> m_bits));
            m_size += 4 * static_cast<std::size_t>(full);
        }
    }

    // The bytes written and the number of bits in use (a last byte may be
    // partial; its unused bits are zero).
    std::uint64_t Finish(std::vector<std::uint8_t>& bytes) {
        const std::uint64_t bits = m_size * 8 + static_cast<std::uint64_t>(m_bits);
        for (; m_bits > 0; m_bits -= std::min(m_bits, 8)) {
            if constexpr (kLowFirst) {
                m_out[m_size++] = static_cast<std::uint8_t>(m_acc);
                m_acc >>= 8;
            } else {
                const int shift = m_bits - 8;
                m_out[m_size++] =
                    static_cast<std::uint8_t>(shift >= 0 ? m_acc >> shift : m_acc << -shift);
            }
        }
        bytes.assign(m_out.get(), m_out.get() + m_size);
        return bits;
    }

private:
    // The word at the end of what is kept, which stays there only once the
    // size moves past it.
    void StoreAt(std::uint32_t v) {
        const std::uint8_t b[4] = {static_cast<std::uint8_t>(kLowFirst ? v : v >> 24),
                                   static_cast<std::uint8_t>(kLowFirst ? v >> 8 : v >> 16),
                                   static_cast<std::uint8_t>(kLowFirst ? v >> 16 : v >> 8),
                                   static_cast<std::uint8_t>(kLowFirst ? v >> 24 : v)};
        std::memcpy(m_out.get() + m_size, b, 4);
    }

    std::unique_ptr<std::uint8_t[]> m_out;
    std::size_t m_size = 0;
    std::uint64_t m_acc = 0;
    int m_bits = 0;
};

// The two dialects differ in when the table is full and when codes widen:
// a GIF reader widens once the code 1 << width has been made, a TIFF reader
// one code earlier, so a TIFF writer stops at 4093 and, after its last code,
// widens for an entry that is never made.
struct GifDialect {
    static constexpr bool kLowFirst = true;
    static bool Full(int next) { return next == 1 << kMaxBits; }
    static bool Widen(int next, int width) { return next - 1 == 1 << width; }
    static bool WidenAtEnd(int next, int width) { return next == 1 << width; }
};
struct TiffDialect {
    static constexpr bool kLowFirst = false;
    static bool Full(int next) { return next == (1 << kMaxBits) - 2; }
    static bool Widen(int next, int width) { return next == 1 << width; }
    static bool WidenAtEnd(int next, int width) { return next + 1 == 1 << width; }
};

// One stream's coder, a byte at a time: Start with the first byte, Step
// with each one after, then Finish. `size` is the most bytes it will be
// given: its output is held in a buffer sized for them.
template <class Dialect>
class Coder {
public:
    Coder(std::size_t size, int rootBits, bool first)
        : m_bits(size + size / 1024 + 4),
          m_clear(1 << rootBits),
          m_freshWidth(rootBits + 1),
          m_next(m_clear + 2),
          m_width(m_freshWidth) {
        if (first) m_bits.Put(static_cast<std::uint32_t>(m_clear), m_width);
    }

    void Start(std::uint32_t byte) { m_prefix = StringTable::kRoot + byte, m_any = true; }

    void Step(std::uint32_t byte) {
        bool found = false;
        const std::uint32_t slot = m_table.Find(m_prefix, byte, found);
        if (found) [[likely]] {
            m_prefix = slot;
            return;
        }
        m_bits.Put(m_table.Code(m_prefix), m_width);
        m_table.Add(slot, m_prefix, byte, m_next++);
        if (Dialect::Full(m_next)) [[unlikely]] {
            Reset();
        } else if (Dialect::Widen(m_next, m_width) && m_width < kMaxBits) {
            ++m_width;
        }
        m_prefix = StringTable::kRoot + byte;
    }

    std::uint64_t Finish(bool last, std::vector<std::uint8_t>& out) {
        if (m_any) {
            m_bits.Put(m_table.Code(m_prefix), m_width);
            if (Dialect::WidenAtEnd(m_next, m_width) && m_width < kMaxBits) ++m_width;
        }
        m_bits.Put(static_cast<std::uint32_t>(last ? m_clear + 1 : m_clear), m_width);
        return m_bits.Finish(out);
    }

private:
    // The table full: the clear code, and a fresh table. Once in 4000 codes,
    // so kept out of the loops that inline Step.
    [[gnu::noinline]] void Reset() {
        m_bits.Put(static_cast<std::uint32_t>(m_clear), m_width);
        m_table.Clear();
        m_next = m_clear + 2, m_width = m_freshWidth;
    }

    BitWriter<Dialect::kLowFirst> m_bits;
    StringTable m_table;
    const int m_clear, m_freshWidth;
    int m_next, m_width;
    std::uint32_t m_prefix = 0;
    bool m_any = false;
};

// A GIF run's coder, as LzwEncodeGifRun codes a run (`first` puts the clear
// code in front, `last` ends with the end code).
class GifCoder : public Coder<GifDialect> {
public:
    using Coder<GifDialect>::Coder;

    void Finish(bool last, LzwBits& out) { out.bitCount = Coder::Finish(last, out.bytes); }
};

}  // namespace gdip::lzw
