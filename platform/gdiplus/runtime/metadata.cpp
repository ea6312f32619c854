// Checking, tidying and laying out the metadata blocks (metadata.h). Every
// read of a block is bounds-checked: the blocks come straight from untrusted
// files.
#include "metadata.h"

#include <algorithm>
#include <cstring>

#include "codec.h"
#include "colour.h"

namespace gdip {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint16_t kOrientation = 0x0112;
constexpr std::uint16_t kExifIfdTag = 0x8769;
constexpr std::uint16_t kGpsIfdTag = 0x8825;
constexpr std::uint16_t kInteropIfdTag = 0xA005;
constexpr std::uint16_t kPixelX = 0xA002;
constexpr std::uint16_t kPixelY = 0xA003;
constexpr std::uint16_t kShort = 3, kLong = 4, kIfd = 13;
// More entries than any directory of a real file has; a count beyond it is
// garbage, whatever the block's size.
constexpr std::uint32_t kMaxEntries = 1000;
// The descriptive tags of a TIFF's main directory that belong to its EXIF.
constexpr std::uint16_t kTextTags[] = {0x010E, 0x010F, 0x0110, 0x0131, 0x0132, 0x013B, 0x8298};

std::uint32_t TypeSize(std::uint16_t type) {
    switch (type) {
        case 1:  // BYTE
        case 2:  // ASCII
        case 6:  // SBYTE
        case 7:  // UNDEFINED
            return 1;
        case 3:  // SHORT
        case 8:  // SSHORT
            return 2;
        case 4:   // LONG
        case 9:   // SLONG
        case 11:  // FLOAT
        case 13:  // IFD
            return 4;
        case 5:   // RATIONAL
        case 10:  // SRATIONAL
        case 12:  // DOUBLE
            return 8;
        default:
            return 0;
    }
}

// A TIFF-structured block: header, then directories of 12-byte entries.
class Block {
public:
    explicit Block(std::span<const std::uint8_t> b) : m_b(b) {
        if (b.size() >= 8 && b[0] == 'I' && b[1] == 'I' && b[2] == 42 && b[3] == 0) {
            m_ok = true;
        } else if (b.size() >= 8 && b[0] == 'M' && b[1] == 'M' && b[2] == 0 && b[3] == 42) {
            m_ok = m_big = true;
        }
    }
    bool Ok() const { return m_ok; }
    bool Big() const { return m_big; }
    std::size_t Size() const { return m_b.size(); }
    std::uint16_t U16(std::size_t at) const {
        const std::uint8_t* p = m_b.data() + at;
        return m_big ? static_cast<std::uint16_t>(p[0] << 8 | p[1])
                     : static_cast<std::uint16_t>(p[1] << 8 | p[0]);
    }
    std::uint32_t U32(std::size_t at) const {
        const std::uint32_t a = U16(at), b = U16(at + 2);
        return m_big ? a << 16 | b : b << 16 | a;
    }

    struct Entry {
        std::uint16_t tag, type;
        std::uint32_t count;
        std::size_t at;          // of the entry
        std::size_t valueAt;     // of its value (inside the entry when it fits)
        std::size_t valueBytes;  // 0 for a type we do not know
    };
    // The entries of the directory at `offset`, and where it ends (after its
    // next-directory offset) and where its next directory is; false when the
    // directory or any value of a known type lies outside the block.
    bool Directory(std::uint32_t offset, std::vector<Entry>& entries, std::size_t& end,
                   std::uint32_t& next) const {
        if (offset < 8 || offset > m_b.size() || m_b.size() - offset < 2) return false;
        const std::uint32_t count = U16(offset);
        if (count > kMaxEntries) return false;
        end = std::size_t{offset} + 2 + std::size_t{count} * 12 + 4;
        if (end > m_b.size()) return false;
        entries.clear();
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::size_t at = std::size_t{offset} + 2 + std::size_t{i} * 12;
            Entry e{U16(at), U16(at + 2), U32(at + 4), at, at + 8, 0};
            const std::uint64_t bytes = std::uint64_t{TypeSize(e.type)} * e.count;
            if (bytes > m_b.size()) return false;
            e.valueBytes = static_cast<std::size_t>(bytes);
            if (bytes > 4) {
                e.valueAt = U32(at + 8);
                if (e.valueAt > m_b.size() || m_b.size() - e.valueAt < bytes) return false;
            }
            entries.push_back(e);
        }
        next = U32(end - 4);
        return true;
    }
    std::span<const std::uint8_t> Value(const Entry& e) const {
        return m_b.subspan(e.valueAt, e.valueBytes);
    }

private:
    std::span<const std::uint8_t> m_b;
    bool m_ok = false;
    bool m_big = false;
};

bool IsPointer(const Block::Entry& e) {
    return (e.type == kLong || e.type == kIfd) && e.count == 1;
}

// The directories of an EXIF block that belong to the picture: the main one,
// its EXIF and GPS directories, the EXIF one's interoperability directory.
struct Walk {
    std::vector<Block::Entry> main, exif, gps, interop;
    std::size_t end = 8;  // the end of everything they hold
    std::uint32_t next = 0;
};

bool WalkDirectory(const Block& b, std::uint32_t offset, std::vector<std::uint32_t>& seen,
                   std::vector<Block::Entry>& entries, Walk& w, std::uint32_t* next = nullptr) {
    if (std::find(seen.begin(), seen.end(), offset) != seen.end()) return false;  // a loop
    seen.push_back(offset);
    std::size_t end = 0;
    std::uint32_t following = 0;
    if (!b.Directory(offset, entries, end, following)) return false;
    w.end = std::max(w.end, end);
    for (const Block::Entry& e : entries)
        if (e.valueBytes > 4) w.end = std::max(w.end, e.valueAt + e.valueBytes);
    if (next != nullptr) *next = following;
    return true;
}

const Block::Entry* Find(const std::vector<Block::Entry>& entries, std::uint16_t tag) {
    for (const Block::Entry& e : entries)
        if (e.tag == tag) return &e;
    return nullptr;
}

bool WalkBlock(const Block& b, Walk& w) {
    std::vector<std::uint32_t> seen;
    if (!WalkDirectory(b, b.U32(4), seen, w.main, w, &w.next)) return false;
    if (const Block::Entry* e = Find(w.main, kExifIfdTag)) {
        if (!IsPointer(*e) || !WalkDirectory(b, b.U32(e->valueAt), seen, w.exif, w)) return false;
        if (const Block::Entry* i = Find(w.exif, kInteropIfdTag))
            if (!IsPointer(*i) || !WalkDirectory(b, b.U32(i->valueAt), seen, w.interop, w))
                return false;
    }
    if (const Block::Entry* e = Find(w.main, kGpsIfdTag))
        if (!IsPointer(*e) || !WalkDirectory(b, b.U32(e->valueAt), seen, w.gps, w)) return false;
    return true;
}

void Put16(Bytes& b, std::size_t at, std::uint16_t v, bool big) {
    b[at] = static_cast<std::uint8_t>(big ? v >> 8 : v);
    b[at + 1] = static_cast<std::uint8_t>(big ? v : v >> 8);
}
void Put32(Bytes& b, std::size_t at, std::uint32_t v, bool big) {
    Put16(b, at, static_cast<std::uint16_t>(big ? v >> 16 : v), big);
    Put16(b, at + 2, static_cast<std::uint16_t>(big ? v : v >> 16), big);
}

// A dimension tag rewritten in place: a SHORT too small for the value
// becomes a LONG, which fits in the same four bytes.
void SetDimension(Bytes& out, const Block::Entry& e, std::uint32_t value, bool big) {
    if (e.count != 1 || (e.type != kShort && e.type != kLong)) return;
    if (e.type == kShort && value <= 0xFFFF) {
        Put16(out, e.valueAt, static_cast<std::uint16_t>(value), big);
        Put16(out, e.valueAt + 2, 0, big);
        return;
    }
    Put16(out, e.at + 2, kLong, big);
    Put32(out, e.valueAt, value, big);
}

// ---- laying out directories -------------------------------------------------

struct OutEntry {
    std::uint16_t tag, type;
    std::uint32_t count;
    std::span<const std::uint8_t> value;  // in the output's byte order
};

// Directories written one after the other from `base`, each followed by its
// values; a pointer entry names the directory it points to by index.
class Layout {
public:
    Layout(bool big, std::uint32_t base) : m_big(big), m_base(base) {}
    // Adds a directory; pointers to later directories are given as
    // {tag, index} and filled in when laid out.
    std::size_t Add(std::vector<OutEntry> entries,
                    std::vector<std::pair<std::uint16_t, std::size_t>> pointers = {}) {
        m_dirs.push_back({std::move(entries), std::move(pointers)});
        return m_dirs.size() - 1;
    }
    void SetPointers(std::size_t dir, std::vector<std::pair<std::uint16_t, std::size_t>> p) {
        m_dirs[dir].pointers = std::move(p);
    }
    // The bytes, and where each directory starts (file offsets).
    Bytes Write(std::vector<std::uint32_t>& at) const {
        at.assign(m_dirs.size(), 0);
        std::uint32_t pos = m_base;
        for (std::size_t i = 0; i < m_dirs.size(); ++i) {
            at[i] = pos;
            pos += DirBytes(m_dirs[i]);
        }
        Bytes out(pos - m_base, 0);
        for (std::size_t i = 0; i < m_dirs.size(); ++i) {
            const Dir& d = m_dirs[i];
            std::vector<OutEntry> all = d.entries;
            std::vector<std::uint8_t> pointerValues(d.pointers.size() * 4);
            for (std::size_t p = 0; p < d.pointers.size(); ++p) {
                const std::uint32_t target = at[d.pointers[p].second];
                Bytes tmp(4);
                Put32(tmp, 0, target, m_big);
                std::memcpy(pointerValues.data() + p * 4, tmp.data(), 4);
                all.push_back({d.pointers[p].first, kLong, 1, {pointerValues.data() + p * 4, 4}});
            }
            std::sort(all.begin(), all.end(),
                      [](const OutEntry& a, const OutEntry& b) { return a.tag < b.tag; });
            std::size_t w = at[i] - m_base;
            std::size_t values = w + 2 + all.size() * 12 + 4;
            Put16(out, w, static_cast<std::uint16_t>(all.size()), m_big);
            w += 2;
            for (const OutEntry& e : all) {
                Put16(out, w, e.tag, m_big);
                Put16(out, w + 2, e.type, m_big);
                Put32(out, w + 4, e.count, m_big);
                if (e.value.size() <= 4) {
                    std::memcpy(out.data() + w + 8, e.value.data(), e.value.size());
                } else {
                    Put32(out, w + 8, static_cast<std::uint32_t>(values + m_base), m_big);
                    std::memcpy(out.data() + values, e.value.data(), e.value.size());
                    values += (e.value.size() + 1) & ~std::size_t{1};
                }
                w += 12;
            }
        }
        return out;
    }

private:
    struct Dir {
        std::vector<OutEntry> entries;
        std::vector<std::pair<std::uint16_t, std::size_t>> pointers;
    };
    static std::uint32_t DirBytes(const Dir& d) {
        std::size_t bytes = 2 + (d.entries.size() + d.pointers.size()) * 12 + 4;
        for (const OutEntry& e : d.entries)
            if (e.value.size() > 4) bytes += (e.value.size() + 1) & ~std::size_t{1};
        return static_cast<std::uint32_t>(bytes);
    }
    bool m_big;
    std::uint32_t m_base;
    std::vector<Dir> m_dirs;
};

// The entries of a walked directory as they are, without the pointers that
// the layout writes anew.
std::vector<OutEntry> Copied(const Block& b, const std::vector<Block::Entry>& entries) {
    std::vector<OutEntry> out;
    for (const Block::Entry& e : entries) {
        if (e.valueBytes == 0 || e.tag == kExifIfdTag || e.tag == kGpsIfdTag ||
            e.tag == kInteropIfdTag)
            continue;
        out.push_back({e.tag, e.type, e.count, b.Value(e)});
    }
    return out;
}

bool IsTextTag(std::uint16_t tag) {
    return std::find(std::begin(kTextTags), std::end(kTextTags), tag) != std::end(kTextTags);
}

// The EXIF, GPS and interoperability directories of a walk, added to the
// layout as directories `next` on; the main directory's pointers to them are
// added to mainPointers.
void AddSubDirectories(const Block& b, const Walk& w, Layout& layout,
                       std::vector<std::pair<std::uint16_t, std::size_t>>& mainPointers,
                       std::size_t next) {
    if (!w.exif.empty()) {
        std::vector<std::pair<std::uint16_t, std::size_t>> p;
        if (!w.interop.empty()) p.push_back({kInteropIfdTag, next + 1});
        mainPointers.push_back({kExifIfdTag, next});
        layout.Add(Copied(b, w.exif), p);
        next += 1;
        if (!w.interop.empty()) {
            layout.Add(Copied(b, w.interop));
            next += 1;
        }
    }
    if (!w.gps.empty()) {
        mainPointers.push_back({kGpsIfdTag, next});
        layout.Add(Copied(b, w.gps));
    }
}

bool IsText(std::span<const std::uint8_t> s) {
    for (std::uint8_t c : s)
        if (c == 0) return false;
    return true;
}

bool Contains(std::span<const std::uint8_t> s, std::string_view what) {
    return std::search(s.begin(), s.end(), what.begin(), what.end()) != s.end();
}

}  // namespace

// ---- ICC ----------------------------------------------------------------------

std::size_t MaxMetadataBytes() {
    return static_cast<std::size_t>(std::min<std::uint64_t>(kMaxMetadataBytes, PixelBudgetBytes()));
}

std::vector<std::uint8_t> CheckedIcc(std::span<const std::uint8_t> icc) {
    constexpr std::size_t kHeader = 128;
    if (icc.size() < kHeader + 4 || icc.size() > MaxMetadataBytes()) return {};
    const auto be32 = [&](std::size_t at) {
        return std::uint32_t{icc[at]} << 24 | std::uint32_t{icc[at + 1]} << 16 |
               std::uint32_t{icc[at + 2]} << 8 | icc[at + 3];
    };
    const std::uint32_t size = be32(0);
    if (size < kHeader + 4 || size > icc.size() || std::memcmp(icc.data() + 36, "acsp", 4) != 0)
        return {};
    const std::uint32_t tags = be32(kHeader);
    if (tags > (size - kHeader - 4) / 12) return {};
    for (std::uint32_t i = 0; i < tags; ++i) {
        const std::uint32_t offset = be32(kHeader + 4 + i * 12 + 4);
        const std::uint32_t bytes = be32(kHeader + 4 + i * 12 + 8);
        if (offset > size || size - offset < bytes) return {};
    }
    return Bytes(icc.begin(), icc.begin() + size);
}

std::string_view IccColourSpace(std::span<const std::uint8_t> icc) {
    if (icc.size() < 20) return {};
    return {reinterpret_cast<const char*>(icc.data()) + 16, 4};
}

// ---- EXIF ---------------------------------------------------------------------

namespace {

// One pass of TidyExif's changes; empty when the block does not walk.
Bytes PatchExif(std::span<const std::uint8_t> exif, std::uint32_t width, std::uint32_t height) {
    const Block b(exif);
    Walk w;
    if (!b.Ok() || !WalkBlock(b, w)) return {};
    Bytes out(exif.begin(), exif.end());
    const bool big = b.Big();
    bool turned = false;
    if (const Block::Entry* e = Find(w.main, kOrientation);
        e != nullptr && e->type == kShort && e->count == 1) {
        turned = b.U16(e->valueAt) != 1;
        Put16(out, e->valueAt, 1, big);
    }
    if (const Block::Entry* e = Find(w.exif, kPixelX)) SetDimension(out, *e, width, big);
    if (const Block::Entry* e = Find(w.exif, kPixelY)) SetDimension(out, *e, height, big);
    // The thumbnail (the next directory) stays only when it is sound and
    // still shows the picture the right way up.
    bool keepNext = w.next != 0 && !turned;
    if (keepNext) {
        std::vector<std::uint32_t> seen{b.U32(4)};
        std::vector<Block::Entry> entries;
        Walk thumb;
        std::uint32_t after = 0;
        keepNext = WalkDirectory(b, w.next, seen, entries, thumb, &after);
        const Block::Entry* start = Find(entries, 0x0201);
        const Block::Entry* length = Find(entries, 0x0202);
        if (keepNext && start != nullptr && length != nullptr) {
            const std::uint64_t s = b.U32(start->valueAt), n = b.U32(length->valueAt);
            keepNext = start->count == 1 && length->count == 1 && s + n <= exif.size();
        }
        if (keepNext && after != 0)  // no third directory
            Put32(out, std::size_t{w.next} + 2 + std::size_t{b.U16(w.next)} * 12, 0, big);
    }
    if (!keepNext && w.next != 0) {
        // The main directory's next-directory offset: 4 bytes after its entries.
        const std::uint32_t main = b.U32(4);
        Put32(out, std::size_t{main} + 2 + std::size_t{b.U16(main)} * 12, 0, big);
        out.resize(w.end);
    }
    return out;
}

}  // namespace

std::vector<std::uint8_t> TidyExif(std::span<const std::uint8_t> exif, std::uint32_t width,
                                   std::uint32_t height) {
    static constexpr std::uint8_t kHeader[6] = {'E', 'x', 'i', 'f', 0, 0};
    if (exif.size() >= 6 && std::memcmp(exif.data(), kHeader, 6) == 0) exif = exif.subspan(6);
    if (exif.size() > MaxMetadataBytes()) return {};
    // A block whose directories and values overlap can be turned by these
    // writes into another structure: what is kept is what a second pass
    // leaves as it is, and it says orientation 1.
    Bytes out = PatchExif(exif, width, height);
    if (out.empty() || PatchExif(out, width, height) != out || ExifOrientation(out) != 1) return {};
    return out;
}

std::vector<std::uint8_t> ExifOfTiffFile(std::span<const std::uint8_t> file) {
    const Block b(file);
    Walk w;
    if (!b.Ok() || !WalkBlock(b, w)) return {};
    std::vector<OutEntry> main;
    for (const Block::Entry& e : w.main)
        if (e.valueBytes > 0 && IsTextTag(e.tag))
            main.push_back({e.tag, e.type, e.count, b.Value(e)});
    if (main.empty() && w.exif.empty() && w.gps.empty()) return {};
    // The decoder has turned the pixels upright.
    static constexpr std::uint8_t kOneLe[2] = {1, 0}, kOneBe[2] = {0, 1};
    main.push_back({kOrientation, kShort, 1, {b.Big() ? kOneBe : kOneLe, 2}});
    // The main directory first, its pointers filled in as the others are added.
    Layout full(b.Big(), 8);
    std::vector<std::pair<std::uint16_t, std::size_t>> pointers;
    const std::size_t mainIndex = full.Add(main);
    AddSubDirectories(b, w, full, pointers, 1);
    full.SetPointers(mainIndex, pointers);
    std::vector<std::uint32_t> at;
    Bytes body = full.Write(at);
    Bytes out = {b.Big() ? std::uint8_t{'M'} : std::uint8_t{'I'},
                 b.Big() ? std::uint8_t{'M'} : std::uint8_t{'I'},
                 0,
                 0,
                 0,
                 0,
                 0,
                 0};
    Put16(out, 2, 42, b.Big());
    Put32(out, 4, 8, b.Big());
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

TiffExif ExifForTiff(std::span<const std::uint8_t> exif, std::uint32_t base) {
    TiffExif t;
    const Block b(exif);
    Walk w;
    if (!b.Ok() || !WalkBlock(b, w)) return t;
    t.bigEndian = b.Big();
    for (const Block::Entry& e : w.main) {
        if (!IsTextTag(e.tag) || e.type != 2 || e.valueBytes == 0) continue;
        const auto v = b.Value(e);
        std::vector<char> text(v.begin(), std::find(v.begin(), v.end(), std::uint8_t{0}));
        if (text.empty()) continue;
        text.push_back(0);
        t.texts.push_back({e.tag, std::move(text)});
    }
    Layout layout(b.Big(), base);
    std::vector<std::pair<std::uint16_t, std::size_t>> pointers;
    AddSubDirectories(b, w, layout, pointers, 0);
    std::vector<std::uint32_t> at;
    t.data = layout.Write(at);
    for (const auto& [tag, index] : pointers)
        (tag == kExifIfdTag ? t.exifIfd : t.gpsIfd) = at[index];
    return t;
}

// ---- XMP ----------------------------------------------------------------------

std::vector<std::uint8_t> CheckedXmp(std::span<const std::uint8_t> xmp) {
    // A packet may be padded with NULs by some writers; they are not part of it.
    while (!xmp.empty() && xmp.back() == 0) xmp = xmp.first(xmp.size() - 1);
    if (xmp.empty() || xmp.size() > MaxMetadataBytes() || !IsText(xmp)) return {};
    if (!Contains(xmp, "xmpmeta") && !Contains(xmp, "rdf:RDF")) return {};
    return Bytes(xmp.begin(), xmp.end());
}

// ---- all three ----------------------------------------------------------------

void SetMetadata(Bitmap& out, std::span<const std::uint8_t> icc, std::span<const std::uint8_t> exif,
                 std::span<const std::uint8_t> xmp) {
    Metadata meta;
    try {
        if (!icc.empty()) {
            meta.icc = CheckedIcc(icc);
            if (IccColourSpace(meta.icc) != "RGB " || !IccUsable(meta.icc)) meta.icc.clear();
        }
        if (!exif.empty()) meta.exif = TidyExif(exif, out.width, out.height);
        if (!xmp.empty()) meta.xmp = CheckedXmp(xmp);
        if (!meta.icc.empty() && !IccIsSrgb(meta.icc)) meta.srgb = std::make_shared<SrgbCopy>();
    } catch (const std::bad_alloc&) {
        meta = {};  // the picture matters more than what it carries
    }
    out.meta = std::move(meta);
}

const Bitmap* SrgbPixels(const Bitmap& image, GpStatus& status) {
    status = Ok;
    SrgbCopy* copy = image.meta.srgb.get();
    if (copy == nullptr) return &image;
    std::call_once(copy->once, [&] { copy->status = ConvertToSrgb(image, copy->pixels); });
    // A profile that Little CMS took at load but cannot convert with costs
    // the colours, not the picture.
    if (copy->status == GenericError) return &image;
    status = copy->status;
    return status == Ok ? &copy->pixels : nullptr;
}

}  // namespace gdip
