// PNG. Reading goes through libpng (on our photographs, 123 MP of PNG, it
// decoded in 10.4 ms/MP against libspng's 12.3), except for the image data of
// the common pictures, which we inflate and unfilter ourselves (below).
// Writing is our own chunk writer around libdeflate, because the deflate
// settings decide the speed of a whole run and libpng's zlib at a comparable
// size is several times slower.
#include <libdeflate.h>
#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>

#include "codec.h"
#include "deflate_runs.h"
#include "deflate_walk.h"
#include "parallel.h"
#include "png_checksums.h"
#include "png_filters.h"

namespace gdip {

namespace {

constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr GpStatus kDamaged = GenericError;
constexpr std::uint64_t kMaxDeflateRatio = 1032;

// ---- reading --------------------------------------------------------------

struct ReadState {
    std::span<const std::uint8_t> file;
    std::size_t at = 0;
};

// libpng reports errors through these: the error returns to the setjmp in
// DecodePng, warnings (unknown profiles, bad ancillary chunks) are dropped.
void OnPngError(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}
void OnPngWarning(png_structp, png_const_charp) {}

void ReadFromMemory(png_structp png, png_bytep out, std::size_t count) {
    auto* state = static_cast<ReadState*>(png_get_io_ptr(png));
    if (state->file.size() - state->at < count) png_error(png, "truncated");
    std::memcpy(out, state->file.data() + state->at, count);
    state->at += count;
}

// Every colour type and depth becomes 8-bit RGBA: palettes and low depths are
// expanded, tRNS becomes alpha, 16 bits are rounded to 8, gray is spread.
void RequestRgba(png_structp png, png_infop info) {
    png_set_expand(png);
    png_set_scale_16(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
}

// Only IHDR, PLTE, tRNS and the image data decide the pixels we read; text,
// profiles, calibration and the rest are skipped. libpng would buffer each of
// them whole first, and its size check only warns: a 200-byte file declaring
// a 2 GB text chunk would reserve 2 GB. Skipped, they are read past in small
// pieces.
void SkipMetadataChunks(png_structp png) {
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
}

// Deflate turns at most 1032 bytes out of one compressed byte (a 258-byte
// match coded in two bits), so the image data present in the file bounds the
// rows it can fill. Summed over every IDAT chunk, cut at the file's end.
std::uint64_t ImageDataBytes(std::span<const std::uint8_t> file) {
    std::uint64_t total = 0;
    for (std::size_t at = sizeof kSignature; file.size() - at >= 8;) {
        const std::uint8_t* head = file.data() + at;
        const std::uint64_t length = png_get_uint_32(head), rest = file.size() - at - 8;
        if (std::memcmp(head + 4, "IDAT", 4) == 0) total += std::min(length, rest);
        if (std::memcmp(head + 4, "IEND", 4) == 0 || rest < length + 4) break;
        at += static_cast<std::size_t>(length) + 12;
    }
    return total;
}

// Filtered bytes the declared picture needs: a filter byte and the packed
// samples for every row of every pass that has pixels.
std::uint64_t FilteredBytes(png_structp png, png_infop info) {
    const std::uint64_t width = png_get_image_width(png, info);
    const std::uint64_t height = png_get_image_height(png, info);
    const std::uint64_t bits =
        std::uint64_t{png_get_bit_depth(png, info)} * png_get_channels(png, info);
    const auto rowBytes = [&](std::uint64_t columns) { return 1 + (columns * bits + 7) / 8; };
    if (png_get_interlace_type(png, info) == PNG_INTERLACE_NONE) return height * rowBytes(width);
    std::uint64_t total = 0;
    for (int pass = 0; pass < 7; ++pass) {
        const std::uint64_t columns = PNG_PASS_COLS(width, pass),
                            rows = PNG_PASS_ROWS(height, pass);
        if (columns > 0) total += rows * rowBytes(columns);
    }
    return total;
}

std::uint32_t Be32At(const std::uint8_t* p) {
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

// ---- reading the common pictures -------------------------------------------
//
// 8-bit gray, RGB and RGBA without interlacing or a transparent colour are
// nearly every PNG a user converts. For them the image data is inflated in
// one call by libdeflate and unfiltered by our own code (png_filters.cpp)
// instead of libpng's row-by-row zlib inflate: on the benchmark's PNG photographs
// (141 MP) reading took 14.4 ms/MP through libpng and 9.8 with this at one
// thread; the rows are unfiltered by every thread (UnfilterImage), 8.0 at
// two. Reading comes before any thread can share the writing, so in a run
// its time counts twice.
//
// The road takes only what it reads exactly as libpng would: consecutive
// whole IDAT chunks with good checksums holding one zlib stream with a 32 KiB
// window that fills every row and no more, with known filter types. Anything
// else (a cut or damaged file, extra data, an odd stream) is left to libpng,
// which then reads or refuses it as it always has.

// Several IDAT chunks' data joined where it lies, in a file lent for the
// decoding, and put back when this goes: no copy of the image data beside the
// file (13 MB for the benchmark's largest PNG). The chunks follow each other,
// so their data is 12 bytes apart (checksum, length, type): each part moves
// down over the gaps before it, and back in the reverse order, the gaps'
// bytes kept here.
class JoinedInPlace {
public:
    JoinedInPlace() = default;
    JoinedInPlace(const JoinedInPlace&) = delete;
    JoinedInPlace& operator=(const JoinedInPlace&) = delete;
    ~JoinedInPlace() {
        for (auto part = moved_.rbegin(); part != moved_.rend(); ++part) {
            std::memmove(part->from, part->to, part->size);
            std::memcpy(part->from - kGap, part->gap.data(), kGap);
        }
    }
    // The parts, each at `writable` plus its offset in `file`, joined behind
    // the first; may throw bad_alloc before anything moves.
    std::span<const std::uint8_t> Join(std::span<const std::uint8_t> file, std::uint8_t* writable,
                                       const std::vector<std::span<const std::uint8_t>>& parts) {
        moved_.resize(parts.size() - 1);
        std::uint8_t* const start = writable + (parts[0].data() - file.data());
        std::uint8_t* end = start + parts[0].size();
        for (std::size_t i = 1; i < parts.size(); ++i) {
            Moved& part = moved_[i - 1];
            part.from = writable + (parts[i].data() - file.data());
            part.to = end;
            part.size = parts[i].size();
            std::memcpy(part.gap.data(), part.from - kGap, kGap);
            std::memmove(part.to, part.from, part.size);
            end += part.size;
        }
        return {start, end};
    }

private:
    static constexpr std::size_t kGap = 12;
    struct Moved {
        std::uint8_t* from;
        std::uint8_t* to;
        std::size_t size;
        std::array<std::uint8_t, kGap> gap;
    };
    std::vector<Moved> moved_;
};

// The image data when the file's IDAT chunks from `at` (where libpng stopped,
// at the first one's data) are whole and sound; empty otherwise. One chunk is
// read in place; several are joined in place when the file is lent
// (`writable`: its bytes), into `joined` otherwise.
std::span<const std::uint8_t> ImageData(std::span<const std::uint8_t> file, std::size_t at,
                                        std::uint8_t* writable, JoinedInPlace& inPlace,
                                        std::vector<std::uint8_t>& joined) {
    if (at < 8 || at > file.size()) return {};
    std::vector<std::span<const std::uint8_t>> parts;
    for (at -= 8; file.size() - at >= 12 && std::memcmp(file.data() + at + 4, "IDAT", 4) == 0;) {
        const std::uint8_t* head = file.data() + at;
        const std::uint32_t length = Be32At(head);
        if (length > file.size() - at - 12) return {};
        if (libdeflate_crc32(0, head + 4, 4 + std::size_t{length}) != Be32At(head + 8 + length))
            return {};
        parts.emplace_back(head + 8, length);
        at += 12 + std::size_t{length};
    }
    if (parts.size() == 1) return parts[0];
    if (writable != nullptr) return inPlace.Join(file, writable, parts);
    // Sized once: grown chunk by chunk, the copies it outgrew stayed in the C
    // library's heap beside the picture (20 MiB more at the peak of a run).
    std::size_t total = 0;
    for (const auto& part : parts) total += part.size();
    joined.reserve(total);
    for (const auto& part : parts) joined.insert(joined.end(), part.begin(), part.end());
    return joined;
}

// Inflates the image data into `filtered` (one filter byte and the row's
// bytes per row); false when the stream is not exactly that.
bool Inflate(std::span<const std::uint8_t> stream, std::span<std::uint8_t> filtered) {
    // 0x78: deflate with a 32 KiB window. libpng sizes zlib's window from
    // this byte and refuses a stream that reaches farther back than it
    // allows; libdeflate always allows 32 KiB, so others stay with libpng.
    if (stream.size() < 2 || stream[0] != 0x78) return false;
    libdeflate_decompressor* inflater = libdeflate_alloc_decompressor();
    if (inflater == nullptr) return false;
    std::size_t produced = 0;
    const libdeflate_result result = libdeflate_zlib_decompress(
        inflater, stream.data(), stream.size(), filtered.data(), filtered.size(), &produced);
    libdeflate_free_decompressor(inflater);
    return result == LIBDEFLATE_SUCCESS && produced == filtered.size();
}

// The buffer's page faults (and the system's zeroing of each page) are a
// step of their own before inflating, taken side by side, unless another
// thread can take them while the one inflater works: first the pages it is
// about to write, then those of the pixels in front of them. One thread
// alone takes them as it inflates, without zeroing anything first.
constexpr std::size_t kPopulateFrom = 4u << 20;

bool PopulatesWhileInflating(std::size_t total) {
    static const bool can = PopulatePages(nullptr, 0);
    return can && total >= kPopulateFrom && WorkerCount() >= 2;
}

// Inflate into the last `filteredBytes` of `buffer` (`total` bytes, fresh
// memory), with the pages populated beside it.
bool InflatePopulating(std::span<const std::uint8_t> stream, std::uint8_t* buffer,
                       std::size_t total, std::size_t filteredBytes) {
    constexpr std::size_t kPiece = 4u << 20;
    std::uint8_t* const filtered = buffer + (total - filteredBytes);
    std::atomic<bool> inflated{false};
    ParallelTeam(2, [&](unsigned member, unsigned) {
        if (member == 0) {
            inflated = Inflate(stream, {filtered, filteredBytes});
            return;
        }
        for (std::size_t at = 0; at < filteredBytes; at += kPiece)
            PopulatePages(filtered + at, std::min(kPiece, filteredBytes - at));
        PopulatePages(buffer, total - filteredBytes);
    });
    return inflated;
}

// Spreads one unfiltered row of `bpp`-byte pixels (gray, RGB, RGBA) to RGBA.
void ToRgba(const std::uint8_t* src, std::uint32_t width, int bpp, std::uint8_t* dst) {
    if (bpp == 4) {
        std::memcpy(dst, src, std::size_t{width} * 4);
        return;
    }
    for (std::uint32_t x = 0; x < width; ++x, dst += 4, src += bpp) {
        dst[0] = src[0];
        dst[1] = src[bpp == 3 ? 1 : 0];
        dst[2] = src[bpp == 3 ? 2 : 0];
        dst[3] = 0xFF;
    }
}

// Rows a column may be ahead of the last column. A row's pixels are spread
// as soon as its column is unfiltered, and cover filtered rows only
// kMostWorkers + 1 rows above it and higher (the room DecodeCommon leaves),
// which the last column, at most this many rows behind, no longer needs.
constexpr std::uint32_t kColumnLead = 4;
static_assert(kColumnLead <= kMostWorkers);

// Undoes the filters of every row of `filtered` (one filter byte and the
// row's bytes, `stride` in all) and spreads the rows into out.
//
// The picture is cut into columns, one per thread, and each thread takes its
// column down every row: a piece of a row needs the row above in its own
// columns, which that thread made itself and still has in its cache, and the
// pixel to its left, which the column to the left made earlier in the same
// row. Rows taken in turn by the threads instead had each thread read the
// row above from the other's cache: on the benchmark's PNG photographs two
// threads took 0.31-0.53 s of unfiltering where one took 0.44; by columns
// they take 0.25.
bool UnfilterImage(std::uint8_t* filtered, std::size_t stride, int bpp, Bitmap& out) {
    constexpr std::size_t kColumnFrom = 256;  // bytes of a row; narrower is not worth a thread
    const std::size_t rowBytes = stride - 1;
    std::array<std::atomic<std::uint32_t>, kMostWorkers> done{};  // rows unfiltered, per column
    std::atomic<bool> failed{false};
    const std::vector<std::uint8_t> zeros(rowBytes, 0);
    ParallelTeam(rowBytes / kColumnFrom, [&](unsigned column, unsigned columns) {
        const std::size_t pixels = out.width;
        const std::size_t first = pixels * column / columns, last = pixels * (column + 1) / columns;
        const std::size_t begin = first * bpp, end = last * bpp;
        std::atomic<std::uint32_t>& mine = done[column];
        const std::atomic<std::uint32_t>* left = column == 0 ? nullptr : &done[column - 1];
        const std::atomic<std::uint32_t>* lastColumn =
            column + 1 == columns ? nullptr : &done[columns - 1];
        for (std::uint32_t y = 0; y < out.height; ++y) {
            for (int spins = 0;; ++spins) {
                if (failed.load(std::memory_order_relaxed)) return;
                if ((left == nullptr || left->load(std::memory_order_acquire) > y) &&
                    (lastColumn == nullptr ||
                     lastColumn->load(std::memory_order_acquire) + kColumnLead > y))
                    break;
                if (spins > 64) std::this_thread::yield();
            }
            std::uint8_t* row = filtered + std::size_t{y} * stride;
            const std::uint8_t* prior = y == 0 ? zeros.data() : row - stride + 1;
            if (!UnfilterRow(row[0], row + 1, prior, begin, end, bpp)) {
                failed = true;  // a filter type that does not exist
                return;
            }
            ToRgba(row + 1 + begin, static_cast<std::uint32_t>(last - first), bpp,
                   out.Row(y) + first * 4);
            mine.store(y + 1, std::memory_order_release);
        }
    });
    return !failed;
}

// The picture read on the common road; false (and `out` to be filled
// again) when it is not for this road.
bool DecodeCommon(png_structp png, png_infop info, std::span<const std::uint8_t> file,
                  std::uint8_t* writable, std::size_t idatAt, Bitmap& out) {
    const int colorType = png_get_color_type(png, info);
    if (png_get_bit_depth(png, info) != 8 ||
        png_get_interlace_type(png, info) != PNG_INTERLACE_NONE ||
        png_get_valid(png, info, PNG_INFO_tRNS) != 0 ||
        (colorType != PNG_COLOR_TYPE_GRAY && colorType != PNG_COLOR_TYPE_RGB &&
         colorType != PNG_COLOR_TYPE_RGBA))
        return false;
    const int bpp = colorType == PNG_COLOR_TYPE_GRAY ? 1 : colorType == PNG_COLOR_TYPE_RGB ? 3 : 4;
    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    const std::size_t rowBytes = std::size_t{width} * bpp, stride = rowBytes + 1;
    // The image data is inflated into the end of the picture's own buffer
    // and unfiltered there, each row spread to RGBA towards the front, so
    // that the picture never exists twice. With the data starting
    // kMostWorkers + 2 rows behind the end of the pixels, a row's pixels end
    // before the filtered row kMostWorkers + 1 rows above it, and every row
    // from there down may still be needed (UnfilterImage keeps its columns
    // closer together than that).
    const std::size_t pixelBytes = std::size_t{width} * height * 4;
    const std::size_t filteredBytes = stride * height;
    const std::size_t widest = std::max(std::size_t{width} * 4, stride);
    const std::size_t total =
        std::max(pixelBytes, filteredBytes) + (std::size_t{kMostWorkers} + 2) * widest;
    try {
        std::vector<std::uint8_t> joined;
        JoinedInPlace inPlace;
        const std::span<const std::uint8_t> stream =
            ImageData(file, idatAt, writable, inPlace, joined);
        // Every byte that is read is written first: zeroing only takes the
        // pages side by side, where nothing else does.
        const bool populate = PopulatesWhileInflating(total);
        const Fill fill = populate || WorkerCount() < 2 ? Fill::Nothing : Fill::Zeroes;
        if (stream.empty() || AllocateBitmap(out, width, height, total - pixelBytes, fill) != Ok)
            return false;
        out.rgba.resize(total);  // within the room reserved: the pixels stay where they are
        std::uint8_t* filtered = out.rgba.data() + (total - filteredBytes);
        if (!(populate ? InflatePopulating(stream, out.rgba.data(), total, filteredBytes)
                       : Inflate(stream, {filtered, filteredBytes})) ||
            !UnfilterImage(filtered, stride, bpp, out))
            return false;
        out.rgba.resize(pixelBytes);
    } catch (const std::bad_alloc&) {
        return false;  // libpng's road needs less memory
    }
    out.hasAlpha = bpp == 4;
    return true;
}

// No object with a destructor lives in this frame, so libpng's longjmp
// back to it skips nothing; the row table lives in the caller.
GpStatus DecodePng(png_structp png, png_infop info, std::span<const std::uint8_t> file,
                   std::uint8_t* writable, Bitmap& out, std::vector<png_bytep>& rows) {
    if (setjmp(png_jmpbuf(png))) return kDamaged;
    png_read_info(png, info);
    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    if (GpStatus s = CheckDeclaredSize(width, height); s != Ok) return s;
    // A few bytes that declare a huge picture are refused before its buffer
    // exists; libpng would refuse them anyway, only after allocating it.
    if (FilteredBytes(png, info) > kMaxDeflateRatio * ImageDataBytes(file)) return kDamaged;
    if (DecodeCommon(png, info, file, writable, static_cast<ReadState*>(png_get_io_ptr(png))->at,
                     out))
        return Ok;
    const int colorType = png_get_color_type(png, info);
    const bool alpha =
        (colorType & PNG_COLOR_MASK_ALPHA) != 0 || png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    RequestRgba(png, info);
    if (png_get_rowbytes(png, info) != std::size_t{width} * 4) return kDamaged;
    if (GpStatus s = AllocateBitmap(out, width, height); s != Ok) return s;
    out.hasAlpha = alpha;
    rows.resize(height);  // bad_alloc is caught by the caller, outside libpng
    for (png_uint_32 y = 0; y < height; ++y) rows[y] = out.Row(y);
    png_read_image(png, rows.data());
    return Ok;
}

// ---- metadata -----------------------------------------------------------------
//
// Read by walking the chunks ourselves (libpng skips them, above): iCCP,
// eXIf, the XMP packet in iTXt, and the older EXIF written as hex text under
// the keyword "Raw profile type exif" (or "APP1"). A chunk with a bad
// checksum, or whose content does not parse, is passed over.

struct PngMetadata {
    std::vector<std::uint8_t> icc, exif, xmp;
};

// A zlib stream inflated, when it is whole and inflates to at most `limit`.
bool Inflate(std::span<const std::uint8_t> in, std::size_t limit, std::vector<std::uint8_t>& out) {
    z_stream z{};
    if (inflateInit(&z) != Z_OK) return false;
    z.next_in = const_cast<Bytef*>(in.data());
    z.avail_in = static_cast<uInt>(in.size());
    out.clear();
    int ret = Z_OK;
    while (ret == Z_OK) {
        const std::size_t have = out.size();
        const std::size_t room =
            std::min<std::size_t>(std::max<std::size_t>(have, 4096), limit + 1 - have);
        if (room == 0) break;
        out.resize(have + room);
        z.next_out = out.data() + have;
        z.avail_out = static_cast<uInt>(room);
        ret = inflate(&z, Z_NO_FLUSH);
        out.resize(have + room - z.avail_out);
        if (out.size() > limit) ret = Z_BUF_ERROR;
    }
    inflateEnd(&z);
    return ret == Z_STREAM_END;
}

// The hex text of a raw profile: "\n<name>\n <length>\n<hex digits>".
std::vector<std::uint8_t> RawProfile(std::span<const std::uint8_t> text) {
    std::size_t at = 0;
    const auto skip = [&](auto pred) {
        while (at < text.size() && pred(text[at])) ++at;
    };
    skip([](std::uint8_t c) { return c == '\n'; });
    skip([](std::uint8_t c) { return c != '\n'; });  // the name
    skip([](std::uint8_t c) { return c == '\n' || c == ' '; });
    std::size_t length = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
        length = length * 10 + (text[at] - '0');
        if (length > MaxMetadataBytes()) return {};
    }
    std::vector<std::uint8_t> out;
    out.reserve(length);
    int high = -1;
    for (; at < text.size() && out.size() < length; ++at) {
        const std::uint8_t c = text[at];
        int v = c >= '0' && c <= '9'   ? c - '0'
                : c >= 'a' && c <= 'f' ? c - 'a' + 10
                : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                       : -1;
        if (v < 0) continue;
        if (high < 0) {
            high = v;
        } else {
            out.push_back(static_cast<std::uint8_t>(high << 4 | v));
            high = -1;
        }
    }
    if (out.size() != length) return {};
    return out;
}

// The text of a tEXt, zTXt or iTXt chunk under `keyword`; false when the
// chunk is another keyword or does not parse.
bool ChunkText(const char type[4], std::span<const std::uint8_t> data, std::string_view keyword,
               std::vector<std::uint8_t>& text) {
    if (data.size() < keyword.size() + 1 ||
        std::memcmp(data.data(), keyword.data(), keyword.size()) != 0 || data[keyword.size()] != 0)
        return false;
    data = data.subspan(keyword.size() + 1);
    bool compressed = std::memcmp(type, "zTXt", 4) == 0;
    if (compressed) {
        if (data.empty() || data[0] != 0) return false;
        data = data.subspan(1);
    } else if (std::memcmp(type, "iTXt", 4) == 0) {
        if (data.size() < 2 || data[1] != 0) return false;
        compressed = data[0] != 0;
        data = data.subspan(2);
        for (int field = 0; field < 2; ++field) {  // language tag, translated keyword
            const auto nul = std::find(data.begin(), data.end(), std::uint8_t{0});
            if (nul == data.end()) return false;
            data = data.subspan(static_cast<std::size_t>(nul - data.begin()) + 1);
        }
    }
    if (compressed) return Inflate(data, 2 * MaxMetadataBytes() + 64, text);
    text.assign(data.begin(), data.end());
    return true;
}

PngMetadata ReadMetadata(std::span<const std::uint8_t> file) {
    PngMetadata m;
    std::vector<std::uint8_t> text;
    for (std::size_t at = sizeof kSignature; file.size() - at >= 12;) {
        const std::uint8_t* head = file.data() + at;
        const std::uint32_t length = Be32At(head);
        if (length > file.size() - at - 12) break;
        const char* type = reinterpret_cast<const char*>(head + 4);
        if (std::memcmp(type, "IEND", 4) == 0) break;
        at += std::size_t{length} + 12;
        const bool wanted = std::memcmp(type, "iCCP", 4) == 0 ||
                            std::memcmp(type, "eXIf", 4) == 0 ||
                            std::memcmp(type, "iTXt", 4) == 0 ||
                            std::memcmp(type, "zTXt", 4) == 0 || std::memcmp(type, "tEXt", 4) == 0;
        if (!wanted ||
            libdeflate_crc32(0, head + 4, 4 + std::size_t{length}) != Be32At(head + 8 + length))
            continue;
        const std::span<const std::uint8_t> data(head + 8, length);
        if (std::memcmp(type, "iCCP", 4) == 0 && m.icc.empty()) {
            const auto nul = std::find(data.begin(), data.end(), std::uint8_t{0});
            const auto name = static_cast<std::size_t>(nul - data.begin());
            if (nul != data.end() && name + 2 <= data.size() && data[name + 1] == 0 &&
                !Inflate(data.subspan(name + 2), MaxMetadataBytes(), m.icc))
                m.icc.clear();
        } else if (std::memcmp(type, "eXIf", 4) == 0) {
            if (m.exif.empty()) m.exif.assign(data.begin(), data.end());
        } else if (m.xmp.empty() && ChunkText(type, data, "XML:com.adobe.xmp", text)) {
            m.xmp = std::move(text);
        } else if (m.exif.empty() && (ChunkText(type, data, "Raw profile type exif", text) ||
                                      ChunkText(type, data, "Raw profile type APP1", text))) {
            m.exif = RawProfile(text);
        }
    }
    return m;
}

bool SniffPng(std::span<const std::uint8_t> head) {
    return head.size() >= sizeof kSignature &&
           std::memcmp(head.data(), kSignature, sizeof kSignature) == 0;
}

class PngDecoder final : public Decoder {
public:
    GpStatus Decode(std::span<const std::uint8_t> file, Bitmap& out) const override {
        return DecodeFile(file, nullptr, out);
    }
    GpStatus DecodeLent(std::span<std::uint8_t> file, Bitmap& out) const override {
        return DecodeFile(file, file.data(), out);
    }

private:
    static GpStatus DecodeFile(std::span<const std::uint8_t> file, std::uint8_t* writable,
                               Bitmap& out) {
        if (!SniffPng(file)) return UnknownImageFormat;
        png_structp png =
            png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnPngError, OnPngWarning);
        if (png == nullptr) return OutOfMemory;
        png_infop info = png_create_info_struct(png);
        if (info == nullptr) {
            png_destroy_read_struct(&png, nullptr, nullptr);
            return OutOfMemory;
        }
        ReadState state{file};
        png_set_read_fn(png, &state, ReadFromMemory);
        SetPngChecksumRule(png);
        SkipMetadataChunks(png);
        std::vector<png_bytep> rows;
        GpStatus status = OutOfMemory;
        try {
            status = DecodePng(png, info, file, writable, out, rows);
        } catch (const std::bad_alloc&) {
            status = OutOfMemory;
        }
        png_destroy_read_struct(&png, &info, nullptr);
        if (status == Ok) status = TakeMetadata(file, out);
        if (status != Ok) out.rgba.clear();
        return status;
    }

    // The pixels turned upright by an EXIF orientation, as in every format
    // that carries one, and the metadata kept.
    static GpStatus TakeMetadata(std::span<const std::uint8_t> file, Bitmap& out) {
        try {
            const PngMetadata m = ReadMetadata(file);
            if (GpStatus s = ApplyOrientation(out, ExifOrientation(m.exif)); s != Ok) return s;
            SetMetadata(out, m.icc, m.exif, m.xmp);
        } catch (const std::bad_alloc&) {
            out.meta = {};  // the picture is whole; only what it carries is lost
        }
        return Ok;
    }
};

// ---- writing --------------------------------------------------------------

// Each row with the filter whose bytes have the least sum of magnitudes (any
// of the five); then, for each segment of rows (below), one of two coders:
// - Many colours (a photograph): literals and runs only (deflate_runs.h).
//   Filtered rows of a photograph are small differences and runs of them,
//   which LZ77's search for earlier strings barely improves on. On the
//   benchmark's 60 photographs (298 MP, one thread, bench_writers, encode
//   CPU ms/MP and output KB/MP) it took 17.5-19.0 ms/MP for 757.6 KB/MP, where
//   libdeflate level 4 took 41.8-45.1 for 764.2 the same hour. Earlier:
//     any of the five per row: level 1 26.0 804, level 2 36.2 780,
//                              level 3 37.1 770, level 4 38.8 764
//     Paeth on every row:      level 4 38.7 778, level 5 50.2 765
//     least entropy per row:   level 1 40.8 801, level 4 59.9 762
//   ImageMagick wrote the same images at 731 KB/MP, libvips at 982.
// - Few colours (a screenshot, a chart, a dithered or palette picture; at
//   most 4096 in the picture or 256 in the segment) and any gray picture:
//   libdeflate level 4, whose matches at any distance find the repeated
//   patterns that runs miss (runs alone made screenshots 5-18% larger, text
//   60%, dithered pictures 1.5 to 3 times). A photograph's segments have
//   300 colours or more (a sky), a screenshot's up to about 850.
// - Between the two: a segment that runs compress to under 1/8 (with at
//   most 1024 colours) or 1/20 (a flat sky, a gradient behind text) is coded
//   both ways and keeps the shorter. A screenshot holding a photograph came
//   out 2% larger than through libdeflate alone, the photographs 0.9%
//   smaller.
// Choosing the filter costs nothing measurable once the filters run on many
// bytes at once (16-bit lanes, no dependence between bytes).
constexpr int kDeflateLevel = 4;
constexpr std::size_t kFewColoursInPicture = 4096, kFewColoursInSegment = 256, kFewColours = 1024;
constexpr std::size_t kTryBothBelow = 20, kTryBothBelowFew = 8;
constexpr std::size_t kIdatChunk = std::size_t{1} << 20;

// The row filters, each written so that the compiler does many bytes at
// once: every input is a byte of the unfiltered rows, never an earlier
// result, and the arithmetic is on 16-bit lanes. The first bpp bytes of a
// row have no left neighbour (taken as zero).
void SubRow(const std::uint8_t* __restrict cur, std::size_t n, std::size_t bpp,
            std::uint8_t* __restrict out) {
    for (std::size_t i = 0; i < bpp && i < n; ++i) out[i] = cur[i];
    for (std::size_t i = bpp; i < n; ++i) out[i] = static_cast<std::uint8_t>(cur[i] - cur[i - bpp]);
}

void UpRow(const std::uint8_t* __restrict cur, const std::uint8_t* __restrict prev, std::size_t n,
           std::uint8_t* __restrict out) {
    for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<std::uint8_t>(cur[i] - prev[i]);
}

void AverageRow(const std::uint8_t* __restrict cur, const std::uint8_t* __restrict prev,
                std::size_t n, std::size_t bpp, std::uint8_t* __restrict out) {
    for (std::size_t i = 0; i < bpp && i < n; ++i)
        out[i] = static_cast<std::uint8_t>(cur[i] - (prev[i] >> 1));
    for (std::size_t i = bpp; i < n; ++i)
        out[i] = static_cast<std::uint8_t>(
            cur[i] - ((std::uint16_t{cur[i - bpp]} + std::uint16_t{prev[i]}) >> 1));
}

void PaethRow(const std::uint8_t* __restrict cur, const std::uint8_t* __restrict prev,
              std::size_t n, std::size_t bpp, std::uint8_t* __restrict out) {
    for (std::size_t i = 0; i < bpp && i < n; ++i)
        out[i] = static_cast<std::uint8_t>(cur[i] - prev[i]);
    for (std::size_t i = bpp; i < n; ++i) {
        // The predictor of png_filters.h in 16 bits: the same choice, ties
        // to a, then b.
        const std::int16_t a = cur[i - bpp], b = prev[i], c = prev[i - bpp];
        const std::int16_t da = static_cast<std::int16_t>(b - c),
                           db = static_cast<std::int16_t>(a - c);
        const auto dc = static_cast<std::int16_t>(da + db);
        const std::int16_t pa = std::max<std::int16_t>(da, static_cast<std::int16_t>(-da));
        const std::int16_t pb = std::max<std::int16_t>(db, static_cast<std::int16_t>(-db));
        const std::int16_t pc = std::max<std::int16_t>(dc, static_cast<std::int16_t>(-dc));
        const std::int16_t bc = pb <= pc ? b : c;
        const std::int16_t p = pa <= pb && pa <= pc ? a : bc;
        out[i] = static_cast<std::uint8_t>(cur[i] - p);
    }
}

// The usual guess of how well a filtered row compresses: the sum of its
// bytes taken as signed values, without their signs.
std::uint32_t Cost(const std::uint8_t* __restrict row, std::size_t n) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint8_t v = row[i], negated = static_cast<std::uint8_t>(-v);
        sum += std::min(v, negated);
    }
    return sum;
}

// Working rows of one thread's filtering: zeros (the row above the first)
// and one row per filter type but the one written in place.
struct FilterScratch {
    std::vector<std::uint8_t> zeros, rows;
};

// One row filtered into out (its filter byte first) with whichever filter
// type looks cheapest to compress; prev is null on row 0. Of equal costs the
// lower type wins.
void FilterRow(const std::uint8_t* cur, const std::uint8_t* prev, std::size_t n, std::size_t bpp,
               std::uint8_t* out, FilterScratch& scratch) {
    if (prev == nullptr) {
        scratch.zeros.assign(n, 0);
        prev = scratch.zeros.data();
    }
    scratch.rows.resize(4 * n);
    std::uint8_t* const candidate[5] = {const_cast<std::uint8_t*>(cur), scratch.rows.data(),
                                        scratch.rows.data() + n, scratch.rows.data() + 2 * n,
                                        scratch.rows.data() + 3 * n};
    SubRow(cur, n, bpp, candidate[1]);
    UpRow(cur, prev, n, candidate[2]);
    AverageRow(cur, prev, n, bpp, candidate[3]);
    PaethRow(cur, prev, n, bpp, candidate[4]);
    int best = 0;
    std::uint32_t bestCost = Cost(cur, n);
    for (int type = 1; type < 5; ++type)
        if (const std::uint32_t cost = Cost(candidate[type], n); cost < bestCost)
            best = type, bestCost = cost;
    out[0] = static_cast<std::uint8_t>(best);
    std::memcpy(out + 1, candidate[best], n);
}

enum class PngLayout { Gray, Rgb, Rgba };

// A picture without colour (every pixel gray, no alpha) is written as gray:
// the same pixels in a third of the bytes. Colour photos leave at once.
PngLayout ChooseLayout(const Bitmap& image) {
    if (image.hasAlpha) return PngLayout::Rgba;
    if (!image.meta.icc.empty()) return PngLayout::Rgb;  // an RGB profile needs RGB samples
    const std::uint8_t* p = image.rgba.data();
    for (std::size_t i = 0, n = std::size_t{image.width} * image.height; i < n; ++i, p += 4)
        if (p[0] != p[1] || p[1] != p[2]) return PngLayout::Rgb;
    return PngLayout::Gray;
}

void PackRow(const std::uint8_t* rgba, std::uint32_t width, PngLayout layout, std::uint8_t* out) {
    for (std::uint32_t x = 0; x < width; ++x, rgba += 4) {
        *out++ = rgba[0];
        if (layout == PngLayout::Gray) continue;
        *out++ = rgba[1];
        *out++ = rgba[2];
    }
}

// Rows of the image cut into segments of about this many filtered bytes,
// each filtered and compressed on its own, side by side, and joined into one
// stream (deflate_walk.h). A segment starts without its predecessor's
// window; at this length that costs 0.2% of the size (0.1% at 1 MiB), and
// the threads finish an image closer together: on the benchmark's photographs
// two threads took 0.49 of one thread's time against 0.52 with 1 MiB.
constexpr std::size_t kSegmentBytes = std::size_t{1} << 18;

std::size_t BytesPerPixel(PngLayout layout) {
    return layout == PngLayout::Gray ? 1 : layout == PngLayout::Rgb ? 3 : 4;
}

// Rows [first, end) filtered: one filter byte and the filtered bytes per row.
// `packed` holds the packed rows of layouts narrower than RGBA.
void FilterRows(const Bitmap& image, PngLayout layout, std::uint32_t first, std::uint32_t end,
                std::vector<std::uint8_t>& out, std::vector<std::uint8_t>& packed,
                FilterScratch& scratch) {
    const std::size_t bpp = BytesPerPixel(layout);
    const std::size_t rowBytes = std::size_t{image.width} * bpp;
    out.resize((rowBytes + 1) * (end - first));
    packed.resize(layout == PngLayout::Rgba ? 0 : 2 * rowBytes);
    const auto rowAt = [&](std::uint32_t y) -> const std::uint8_t* {
        if (layout == PngLayout::Rgba) return image.Row(y);
        std::uint8_t* slot = packed.data() + (y % 2) * rowBytes;
        PackRow(image.Row(y), image.width, layout, slot);
        return slot;
    };
    const std::uint8_t* prev = first > 0 ? rowAt(first - 1) : nullptr;
    for (std::uint32_t y = first; y < end; ++y) {
        const std::uint8_t* cur = rowAt(y);
        std::uint8_t* row = out.data() + (y - first) * (rowBytes + 1);
        FilterRow(cur, prev, rowBytes, bpp, row, scratch);
        prev = cur;
    }
}

// One segment's raw deflate stream (made to continue into the next one,
// unless it is the last) and the checksum and length of its input.
struct Segment {
    std::vector<std::uint8_t> deflated;
    std::uint32_t adler = 1;
    std::size_t length = 0;
};

// A set of colours (alpha aside) that gives up once it holds more than
// `most`: open-addressed, a quarter full at most, and never full.
class ColourSet {
public:
    explicit ColourSet(std::size_t most)
        : m_most(most),
          m_size(std::bit_ceil(4 * most)),
          m_shift(32 - std::countr_zero(m_size)),
          m_slots(m_size, kEmpty) {}

    // False once the set is past `most`.
    bool Add(std::uint32_t colour) {
        for (std::size_t i = (colour * 0x9E3779B1U) >> m_shift;; i = (i + 1) & (m_size - 1)) {
            if (m_slots[i] == colour) return true;
            if (m_slots[i] == kEmpty) {
                if (++m_count > m_most) return false;
                m_slots[i] = colour;
                return true;
            }
        }
    }
    // The colours of rows [first, end), in a photograph past `most` within
    // the first rows.
    bool AddRows(const Bitmap& image, std::uint32_t first, std::uint32_t end) {
        for (std::uint32_t y = first; y < end; ++y) {
            const std::uint8_t* p = image.Row(y);
            std::uint32_t previous = kEmpty;
            for (std::uint32_t x = 0; x < image.width; ++x, p += 4) {
                const std::uint32_t colour = p[0] | (p[1] << 8) | (p[2] << 16);
                if (colour == previous) continue;
                previous = colour;
                if (!Add(colour)) return false;
            }
        }
        return true;
    }
    bool AddAll(const ColourSet& other) {
        for (const std::uint32_t colour : other.m_slots)
            if (colour != kEmpty && !Add(colour)) return false;
        return true;
    }
    std::size_t Count() const { return m_count; }

private:
    static constexpr std::uint32_t kEmpty = 0xFFFFFFFF;  // not a colour: its top byte is set
    std::size_t m_most, m_size;
    int m_shift;
    std::vector<std::uint32_t> m_slots;
    std::size_t m_count = 0;
};

// How many colours rows [first, end) have, counted up to `most` + 1.
std::size_t CountColours(const Bitmap& image, std::uint32_t first, std::uint32_t end,
                         std::size_t most) {
    ColourSet set(most);
    set.AddRows(image, first, end);
    return set.Count();
}

// Whether the whole picture has at most `most` colours. A picture that has
// them all (a drawing) is read through to its end, and so is a photograph
// whose first rows are a clear sky: bands of rows are dealt to the threads,
// each counting into a set of its own, one thread's set past `most` ends
// them all, and the sets are joined at the end.
bool HasFewColours(const Bitmap& image, std::size_t most) {
    constexpr std::uint32_t kBand = 64;
    const std::uint32_t bands = (image.height + kBand - 1) / kBand;
    std::array<std::unique_ptr<ColourSet>, kMostWorkers> sets;
    std::atomic<bool> many{false};
    ParallelTeam(bands, [&](unsigned member, unsigned team) {
        try {
            sets[member] = std::make_unique<ColourSet>(most);
        } catch (const std::bad_alloc&) {
            many = true;  // counted as many: the general coder suits any picture
            return;
        }
        for (std::uint32_t band = member; band < bands; band += team)
            if (many.load(std::memory_order_relaxed) ||
                !sets[member]->AddRows(image, band * kBand,
                                       std::min(image.height, (band + 1) * kBand))) {
                many = true;
                return;
            }
    });
    if (many) return false;
    for (std::size_t k = 1; k < sets.size() && sets[k]; ++k)
        if (!sets[0]->AddAll(*sets[k])) return false;
    return true;
}

// libdeflate's stream of `input`, made to continue unless it is the last;
// `scratch` is the thread's output buffer, reused so that every segment
// does not fault in fresh pages.
GpStatus DeflateLz(libdeflate_compressor* compressor, const std::vector<std::uint8_t>& input,
                   bool last, std::vector<std::uint8_t>& scratch, std::vector<std::uint8_t>& out) {
    scratch.resize(
        std::max(scratch.size(), libdeflate_deflate_compress_bound(compressor, input.size())));
    const std::size_t size = libdeflate_deflate_compress(compressor, input.data(), input.size(),
                                                         scratch.data(), scratch.size());
    if (size == 0) return GenericError;
    out.assign(scratch.data(), scratch.data() + size);
    return last || MakeContinuable(out) ? Ok : GenericError;
}

// Each thread's compressor (made when first needed) and buffers, reused
// from segment to segment.
struct SegmentTools {
    std::unique_ptr<libdeflate_compressor, void (*)(libdeflate_compressor*)> compressor{
        nullptr, libdeflate_free_compressor};
    std::vector<std::uint8_t> filtered, packed, scratch, other;
    FilterScratch rows;
    DeflateRunsCoder runs;
};

// `colours`: how many the segment has (at most kFewColours + 1), or 0 when
// the picture as a whole is coded by libdeflate.
GpStatus CompressSegment(SegmentTools& t, std::size_t colours, bool last, Segment& segment) {
    const std::vector<std::uint8_t>& input = t.filtered;
    segment.length = input.size();
    segment.adler = libdeflate_adler32(1, input.data(), input.size());
    const bool lzOnly = colours <= kFewColoursInSegment;
    if (!lzOnly) {
        const std::size_t size = t.runs.Deflate(input, last, t.scratch);
        segment.deflated.assign(t.scratch.data(), t.scratch.data() + size);
        const std::size_t below = colours <= kFewColours ? kTryBothBelowFew : kTryBothBelow;
        if (segment.deflated.size() * below >= input.size()) return Ok;
    }
    if (!t.compressor) t.compressor.reset(libdeflate_alloc_compressor(kDeflateLevel));
    if (!t.compressor) return OutOfMemory;
    if (lzOnly) return DeflateLz(t.compressor.get(), input, last, t.scratch, segment.deflated);
    if (GpStatus s = DeflateLz(t.compressor.get(), input, last, t.scratch, t.other); s != Ok)
        return s;
    if (t.other.size() < segment.deflated.size()) segment.deflated.swap(t.other);
    return Ok;
}

void Be32(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v >> 24);
    p[1] = static_cast<std::uint8_t>(v >> 16);
    p[2] = static_cast<std::uint8_t>(v >> 8);
    p[3] = static_cast<std::uint8_t>(v);
}

using Piece = std::span<const std::uint8_t>;

// A chunk whose data is the pieces one after the other.
bool WriteChunk(std::FILE* out, const char type[4], std::initializer_list<Piece> pieces) {
    std::size_t size = 0;
    for (const Piece& p : pieces) size += p.size();
    std::uint8_t head[8], tail[4];
    Be32(head, static_cast<std::uint32_t>(size));
    std::memcpy(head + 4, type, 4);
    std::uint32_t crc = libdeflate_crc32(0, head + 4, 4);
    bool ok = std::fwrite(head, 1, 8, out) == 8;
    for (const Piece& p : pieces) {
        if (p.empty()) continue;  // a null buffer would restart the CRC
        crc = libdeflate_crc32(crc, p.data(), p.size());
        ok = ok && std::fwrite(p.data(), 1, p.size(), out) == p.size();
    }
    Be32(tail, crc);
    return ok && std::fwrite(tail, 1, 4, out) == 4;
}

// The zlib stream (header, the segments, the checksum of all the filtered
// bytes) in IDAT chunks of at most kIdatChunk bytes of compressed data. The
// segments are filtered and compressed side by side and written in order
// while later ones are still being compressed; only a few are held at once.
GpStatus WriteImageData(const Bitmap& image, PngLayout layout, std::FILE* out) {
    static constexpr std::uint8_t kZlibHeader[2] = {0x78, 0x5E};  // "fast" levels
    const std::size_t stride = std::size_t{image.width} * BytesPerPixel(layout) + 1;
    const auto rowsPer = static_cast<std::uint32_t>(
        std::clamp<std::size_t>(kSegmentBytes / stride, 1, image.height));
    const std::size_t count = (image.height + rowsPer - 1) / rowsPer;
    std::vector<Segment> segments(count);
    const bool lzOnly = layout == PngLayout::Gray || HasFewColours(image, kFewColoursInPicture);
    std::vector<SegmentTools> tools(kMostWorkers);
    std::atomic<GpStatus> failure{Ok};
    const auto compress = [&](std::size_t i, unsigned worker) {
        SegmentTools& t = tools[worker];
        try {
            const auto first = static_cast<std::uint32_t>(i) * rowsPer;
            const std::uint32_t end = std::min(image.height, first + rowsPer);
            FilterRows(image, layout, first, end, t.filtered, t.packed, t.rows);
            const std::size_t colours = lzOnly ? 0 : CountColours(image, first, end, kFewColours);
            if (GpStatus s = CompressSegment(t, colours, i + 1 == count, segments[i]); s != Ok)
                failure = s;
        } catch (const std::bad_alloc&) {
            failure = OutOfMemory;
        }
    };
    std::uint32_t adler = 1;
    const auto write = [&](std::size_t i) {
        if (failure != Ok) return false;
        // (a segment is far shorter than z_off_t reaches, 2 GiB where it is
        // 32 bits wide, as on Windows)
        adler = i == 0 ? segments[0].adler
                       : static_cast<std::uint32_t>(adler32_combine(
                             adler, segments[i].adler, static_cast<z_off_t>(segments[i].length)));
        std::uint8_t trailer[4];
        Be32(trailer, adler);
        const std::vector<std::uint8_t>& data = segments[i].deflated;
        for (std::size_t at = 0; at < data.size() || at == 0; at += kIdatChunk) {
            const std::size_t n = std::min(kIdatChunk, data.size() - at);
            const bool first = i == 0 && at == 0, last = i + 1 == count && at + n == data.size();
            if (!WriteChunk(out, "IDAT",
                            {first ? Piece(kZlibHeader) : Piece(), Piece(data.data() + at, n),
                             last ? Piece(trailer) : Piece()})) {
                failure = Win32Error;
                return false;
            }
            if (at + n == data.size()) break;
        }
        segments[i] = Segment{};
        return true;
    };
    ParallelInOrder(count, 2 * std::size_t{WorkerCount()}, compress, write);
    return failure;
}

class PngEncoder final : public Encoder {
public:
    GpStatus Encode(const Bitmap& image, std::FILE* out) const override {
        if (image.width == 0 || image.height == 0 || out == nullptr) return InvalidParameter;
        if (image.width > 0x7FFFFFFF || image.height > 0x7FFFFFFF) return ValueOverflow;
        try {
            return WriteFile(image, ChooseLayout(image), out);
        } catch (const std::bad_alloc&) {
            return OutOfMemory;
        }
    }

private:
    // iCCP, eXIf and the XMP packet in an uncompressed iTXt, before the
    // image data as readers expect them.
    static bool WriteMetadata(const Metadata& meta, std::FILE* out) {
        if (!meta.icc.empty()) {
            static constexpr char kName[] = "ICC profile";  // name, NUL, method 0
            std::unique_ptr<libdeflate_compressor, void (*)(libdeflate_compressor*)> c(
                libdeflate_alloc_compressor(kDeflateLevel), libdeflate_free_compressor);
            if (!c) throw std::bad_alloc();
            std::vector<std::uint8_t> z(libdeflate_zlib_compress_bound(c.get(), meta.icc.size()));
            z.resize(libdeflate_zlib_compress(c.get(), meta.icc.data(), meta.icc.size(), z.data(),
                                              z.size()));
            static constexpr std::uint8_t kMethod[1] = {0};
            if (!WriteChunk(out, "iCCP",
                            {Piece(reinterpret_cast<const std::uint8_t*>(kName), sizeof kName),
                             Piece(kMethod), Piece(z)}))
                return false;
        }
        if (!meta.exif.empty() && !WriteChunk(out, "eXIf", {Piece(meta.exif)})) return false;
        if (!meta.xmp.empty()) {
            // keyword, NUL, not compressed, method 0, no language, no translation
            static constexpr char kHead[] = "XML:com.adobe.xmp\0\0\0\0";
            if (!WriteChunk(out, "iTXt",
                            {Piece(reinterpret_cast<const std::uint8_t*>(kHead), sizeof kHead),
                             Piece(meta.xmp)}))
                return false;
        }
        return true;
    }

    static GpStatus WriteFile(const Bitmap& image, PngLayout layout, std::FILE* out) {
        std::uint8_t ihdr[13] = {};
        Be32(ihdr, image.width);
        Be32(ihdr + 4, image.height);
        ihdr[8] = 8;
        ihdr[9] = layout == PngLayout::Gray ? 0 : layout == PngLayout::Rgb ? 2 : 6;
        if (std::fwrite(kSignature, 1, sizeof kSignature, out) != sizeof kSignature ||
            !WriteChunk(out, "IHDR", {Piece(ihdr)}) || !WriteMetadata(image.meta, out))
            return Win32Error;
        if (GpStatus s = WriteImageData(image, layout, out); s != Ok) return s;
        return WriteChunk(out, "IEND", {}) ? Ok : Win32Error;
    }
};

std::unique_ptr<Decoder> MakeDecoder() {
    return std::make_unique<PngDecoder>();
}
std::unique_ptr<Encoder> MakeEncoder() {
    return std::make_unique<PngEncoder>();
}

}  // namespace

constinit const CodecDescriptor kPngCodec{
    .name = "png",
    .priority = 10,
    .signatures = {{{0, "\x89PNG\r\n\x1A\n"}}},
    .sniff = SniffPng,
    .makeDecoder = MakeDecoder,
    .makeEncoder = MakeEncoder,
    .published = {0x557CF406, 0xB96B3CAF, u"Built-in PNG Codec", u"PNG", u"*.PNG", u"image/png"},
};

}  // namespace gdip
