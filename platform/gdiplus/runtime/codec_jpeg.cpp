// JPEG through libjpeg-turbo's libjpeg API, which (unlike its TurboJPEG API)
// hands us the Adobe marker for inverted CMYK and the EXIF segment that says
// which way is up.
//
// Read: gray, RGB, YCbCr, CMYK (plain and Adobe-inverted) and YCCK, turned
// upright by the EXIF orientation; CMYK through its ICC profile when it has
// one. The ICC profile (APP2, over as many segments as it needs), EXIF and
// XMP (APP1) are read and written. Written: baseline, quality 90, 4:2:0,
// alpha composited over white.
#include <algorithm>
#include <atomic>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>
// clang-format off
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include "codec.h"
#include "colour.h"
#include "parallel.h"

namespace gdip {

namespace {

constexpr GpStatus kDamaged = GenericError;
constexpr int kQuality = 90;
constexpr JDIMENSION kMaxSide = 65500;  // the format's own limit
constexpr int kRowsPerCall = 16;        // one iMCU row of 4:2:0 data
// APP1 segments carrying EXIF and XMP start with these (NUL included).
constexpr std::string_view kExifId{"Exif\0\0", 6};
constexpr std::string_view kXmpId{"http://ns.adobe.com/xap/1.0/\0", 29};
constexpr std::size_t kMaxSegmentData = 65533;  // a marker's length field less itself

// libjpeg reports through these: errors jump back to the setjmp of the call
// in progress, messages are never printed.
struct JpegErrors {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
    bool inputEnded = false;  // the file ended before its end-of-image marker
    bool warned = false;      // libjpeg warned of anything at all
    // Reading: one bit per component that a scan of the file has begun to
    // carry, gathered by libjpeg's progress calls.
    jpeg_progress_mgr progress{};
    unsigned componentsSeen = 0;
};

void OnJpegError(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<JpegErrors*>(cinfo->err)->jump, 1);
}
void OnJpegMessage(j_common_ptr cinfo, int level) {
    auto* errors = reinterpret_cast<JpegErrors*>(cinfo->err);
    if (level >= 0) return;  // trace messages
    errors->warned = true;
    // At the end of the bytes libjpeg warns and reads on as if the marker were
    // there. Its read-ahead meets that end while the last rows still decode
    // from data it holds, so the end alone says nothing: only a warning after
    // it (data needed past the end, a restart marker not found) means rows
    // would be filled with grey. So does data that stops at a marker before
    // the rows are complete (a cut file with its end marker put back).
    // The file is refused then: stop rather than fill the rest with grey.
    if (errors->inputEnded || cinfo->err->msg_code == JWRN_HIT_MARKER)
        std::longjmp(errors->jump, 1);
    if (cinfo->err->msg_code == JWRN_JPEG_EOF) errors->inputEnded = true;
}
void OnJpegOutput(j_common_ptr) {}
void OnJpegProgress(j_common_ptr common) {
    auto* errors = reinterpret_cast<JpegErrors*>(common->err);
    const auto* cinfo = reinterpret_cast<j_decompress_ptr>(common);
    for (int i = 0; i < cinfo->comps_in_scan; ++i)
        if (cinfo->cur_comp_info[i] != nullptr)
            errors->componentsSeen |= 1u << cinfo->cur_comp_info[i]->component_index;
}

void InitErrors(JpegErrors& errors) {
    jpeg_std_error(&errors.mgr);
    errors.mgr.error_exit = OnJpegError;
    errors.mgr.emit_message = OnJpegMessage;
    errors.mgr.output_message = OnJpegOutput;
}

// Creates cinfo reporting to errors; false when libjpeg could not. Every
// caller sets its own return point (setjmp) before its next libjpeg call.
bool CreateDecompressor(jpeg_decompress_struct& cinfo, JpegErrors& errors) {
    InitErrors(errors);
    cinfo.err = &errors.mgr;
    if (setjmp(errors.jump)) return false;
    jpeg_create_decompress(&cinfo);
    return true;
}

// Points cinfo at the file and reads its header, keeping the EXIF segment.
// libjpeg has no backing store: a progressive image whose coefficients exceed
// the budget fails with an error instead of taking the machine. The progress
// calls record which components have data. Called under the caller's setjmp.
void ReadHeader(jpeg_decompress_struct& cinfo, JpegErrors& errors,
                std::span<const std::uint8_t> file) {
    cinfo.mem->max_memory_to_use = static_cast<long>(PixelBudgetBytes());
    errors.progress.progress_monitor = OnJpegProgress;
    cinfo.progress = &errors.progress;
    jpeg_mem_src(&cinfo, file.data(), static_cast<unsigned long>(file.size()));
    jpeg_save_markers(&cinfo, JPEG_APP0 + 1, 0xFFFF);
    jpeg_save_markers(&cinfo, JPEG_APP0 + 2, 0xFFFF);
    jpeg_read_header(&cinfo, TRUE);
}

// Errors that mean "too big for memory" rather than "damaged data".
GpStatus StatusOfError(const JpegErrors& errors) {
    const int code = errors.mgr.msg_code;
    if (code == JERR_OUT_OF_MEMORY || code == JERR_NO_BACKING_STORE) return OutOfMemory;
    if (code == JERR_FILE_WRITE) return Win32Error;
    return kDamaged;
}

// The data of the first APP1 segment that starts with `id`, after it.
std::span<const std::uint8_t> App1(jpeg_saved_marker_ptr marker, std::string_view id) {
    for (; marker != nullptr; marker = marker->next) {
        if (marker->marker != JPEG_APP0 + 1 || marker->data_length < id.size()) continue;
        if (std::memcmp(marker->data, id.data(), id.size()) != 0) continue;
        return {marker->data + id.size(), marker->data_length - id.size()};
    }
    return {};
}

// The metadata blocks as the file holds them, unchecked, and the profile's
// converter for CMYK pixels.
struct Found {
    std::vector<std::uint8_t> icc, exif, xmp;
    std::unique_ptr<CmykConverter> cmyk;
};

// Copies the blocks out of the saved markers (libjpeg frees them with the
// decompressor). Called under the caller's setjmp; may throw bad_alloc.
void CopyMetadata(jpeg_decompress_struct& cinfo, Found& found) {
    const auto exif = App1(cinfo.marker_list, kExifId);
    const auto xmp = App1(cinfo.marker_list, kXmpId);
    found.exif.assign(exif.begin(), exif.end());
    found.xmp.assign(xmp.begin(), xmp.end());
    JOCTET* icc = nullptr;
    unsigned int iccBytes = 0;
    // libjpeg checks the segments' sequence numbers and counts itself.
    if (jpeg_read_icc_profile(&cinfo, &icc, &iccBytes) && icc != nullptr) {
        found.icc.assign(icc, icc + iccBytes);
        std::free(icc);
    }
}

// CMYK as Adobe writes it is inverted (255 = no ink); plain CMYK is not.
void CmykToRgba(const std::uint8_t* src, std::uint32_t width, bool inverted, std::uint8_t* dst) {
    for (std::uint32_t x = 0; x < width; ++x, src += 4, dst += 4) {
        unsigned c = src[0], m = src[1], y = src[2], k = src[3];
        if (!inverted) c = 255 - c, m = 255 - m, y = 255 - y, k = 255 - k;
        dst[0] = static_cast<std::uint8_t>((c * k + 127) / 255);
        dst[1] = static_cast<std::uint8_t>((m * k + 127) / 255);
        dst[2] = static_cast<std::uint8_t>((y * k + 127) / 255);
        dst[3] = 255;
    }
}

// Rows up to `end` into out, from where cinfo stands; CMYK data passes
// through `cmyk` (room for kRowsPerCall rows), other data goes straight in.
void ReadRows(jpeg_decompress_struct& cinfo, Bitmap& out, std::span<std::uint8_t> cmyk,
              JDIMENSION end, const CmykConverter* profile = nullptr) {
    JSAMPROW rows[kRowsPerCall];
    const bool inverted = cinfo.saw_Adobe_marker != 0;
    while (cinfo.output_scanline < end) {
        const JDIMENSION first = cinfo.output_scanline;
        const JDIMENSION want = std::min<JDIMENSION>(kRowsPerCall, end - first);
        for (JDIMENSION i = 0; i < want; ++i)
            rows[i] =
                cmyk.empty() ? out.Row(first + i) : cmyk.data() + std::size_t{i} * out.width * 4;
        const JDIMENSION got = jpeg_read_scanlines(&cinfo, rows, want);
        if (got == 0) break;
        if (cmyk.empty()) continue;
        for (JDIMENSION i = 0; i < got; ++i) {
            if (profile != nullptr)
                profile->Row(rows[i], out.width, out.Row(first + i));
            else
                CmykToRgba(rows[i], out.width, inverted, out.Row(first + i));
        }
    }
}

// A coefficient still short of its last refinement shows that scans of a
// progressive file are missing.
bool AllCoefficientsRefined(const jpeg_decompress_struct& cinfo) {
    if (!cinfo.progressive_mode || cinfo.coef_bits == nullptr) return true;
    for (int c = 0; c < cinfo.num_components; ++c)
        for (int k = 0; k < DCTSIZE2; ++k)
            if (cinfo.coef_bits[c][k] != 0) return false;
    return true;
}

// Rows that decoded without all their data, as Decoder::Decode judges them
// (data missing at a marker or at the end stops the decoding earlier).
// Every component needs a scan of its own data: a file that carries them in
// scans of their own and stops before one has every row, but not that
// component. A progressive file that stops between scans has every row, but
// coarser than written; encoders refine every coefficient to the last bit,
// so one that is not is a cut file, whether or not its end marker was put back.
// Called once every row is out (the whole input has been read by then), and
// in place of jpeg_finish_decompress: its coefficient state is freed there.
bool FinishAndCheck(jpeg_decompress_struct& cinfo, const JpegErrors& errors) {
    const bool refined = AllCoefficientsRefined(cinfo);
    jpeg_finish_decompress(&cinfo);
    const unsigned allComponents = (1u << cinfo.num_components) - 1;
    return errors.componentsSeen == allComponents && refined;
}

// ---- a big baseline picture in two parts, side by side -------------------
//
// A baseline file is one scan that only its Huffman decoder can walk, from
// the top. Two decompressors share it: one reads the upper part; the other
// walks the same rows with the Huffman decoder alone (libjpeg's row skipping,
// which keeps the upsampler's context) and reads the rest. Walking costs
// about 45% of reading, so the upper part takes about 64% of the rows. On the
// benchmark's baseline photographs (116 MP) reading took 3.2 ms/MP of wall
// time at two threads against 4.5 at one. (Progressive files are decoded
// whole before their first row comes out, which leaves nothing to share.)
//
// Either part reads exactly the rows the whole file would give. A part that
// meets anything unusual (any warning of libjpeg's, a damaged or cut file, a
// missing scan) gives up, and the file is read again in one piece, which
// decides, as it always has, what the file holds.
constexpr JDIMENSION kSplitFromRows = 512;
constexpr double kUpperShare = 0.64;

// Rows [first, end) read into out by cinfo, created by the caller. No object
// with a destructor lives in this frame (libjpeg's longjmp comes back to it).
bool ReadPart(jpeg_decompress_struct& cinfo, JpegErrors& errors, std::span<const std::uint8_t> file,
              JDIMENSION first, JDIMENSION end, Bitmap& out) {
    if (setjmp(errors.jump)) return false;
    ReadHeader(cinfo, errors, file);
    cinfo.out_color_space = JCS_EXT_RGBA;
    jpeg_start_decompress(&cinfo);
    if (cinfo.output_width != out.width || cinfo.output_height != out.height) return false;
    if (first > 0 && jpeg_skip_scanlines(&cinfo, first) != first) return false;
    ReadRows(cinfo, out, {}, end);
    if (cinfo.output_scanline != end || errors.warned) return false;
    if (end < cinfo.output_height) return true;
    return FinishAndCheck(cinfo, errors) && !errors.warned;
}

bool ReadPartWithOwnDecompressor(std::span<const std::uint8_t> file, JDIMENSION first,
                                 JDIMENSION end, Bitmap& out) {
    JpegErrors errors;
    jpeg_decompress_struct cinfo;
    if (!CreateDecompressor(cinfo, errors)) return false;
    const bool ok = ReadPart(cinfo, errors, file, first, end, out);
    jpeg_destroy_decompress(&cinfo);
    return ok;
}

// Whether the picture cinfo has read the header of is worth reading in two
// parts, and can be.
bool SplitsInTwo(const jpeg_decompress_struct& cinfo) {
    return cinfo.image_height >= kSplitFromRows && !cinfo.progressive_mode &&
           cinfo.jpeg_color_space != JCS_CMYK && cinfo.jpeg_color_space != JCS_YCCK &&
           WorkerCount() >= 2;
}

// The whole picture into out, allocated, in two parts side by side; false
// when either part gave up.
bool ReadInTwo(const jpeg_decompress_struct& header, std::span<const std::uint8_t> file,
               Bitmap& out) {
    const JDIMENSION group = static_cast<JDIMENSION>(DCTSIZE * header.max_v_samp_factor);
    const auto split = static_cast<JDIMENSION>(header.image_height * kUpperShare / group) * group;
    std::atomic<bool> ok{true};
    ParallelFor(2, [&](std::size_t part) {
        if (!ReadPartWithOwnDecompressor(file, part == 0 ? 0 : split,
                                         part == 0 ? split : header.image_height, out))
            ok = false;
    });
    return ok;
}

// No object with a destructor lives in this frame, so libjpeg's longjmp back
// to it skips nothing; buffers belong to the caller.
GpStatus DecodeJpeg(jpeg_decompress_struct& cinfo, JpegErrors& errors,
                    std::span<const std::uint8_t> file, Bitmap& out,
                    std::vector<std::uint8_t>& cmyk, Found& found) {
    if (setjmp(errors.jump)) return StatusOfError(errors);
    ReadHeader(cinfo, errors, file);
    if (GpStatus s = CheckDeclaredSize(cinfo.image_width, cinfo.image_height); s != Ok) return s;
    CopyMetadata(cinfo, found);
    const bool cmykData = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    if (cmykData && IccColourSpace(found.icc) == "CMYK")
        found.cmyk = std::make_unique<CmykConverter>(found.icc, cinfo.saw_Adobe_marker != 0);
    if (found.cmyk && !*found.cmyk) found.cmyk.reset();
    if (SplitsInTwo(cinfo) && jpeg_has_multiple_scans(&cinfo) == FALSE) {
        if (GpStatus s = AllocateBitmap(out, cinfo.image_width, cinfo.image_height); s != Ok)
            return s;
        if (ReadInTwo(cinfo, file, out)) return Ok;
    }
    cinfo.out_color_space = cmykData ? JCS_CMYK : JCS_EXT_RGBA;
    jpeg_start_decompress(&cinfo);
    if (GpStatus s = AllocateBitmap(out, cinfo.output_width, cinfo.output_height); s != Ok)
        return s;
    if (cmykData) cmyk.resize(std::size_t{out.width} * 4 * kRowsPerCall);  // may throw: caller
    ReadRows(cinfo, out, cmyk, cinfo.output_height, found.cmyk.get());
    if (cinfo.output_scanline < cinfo.output_height) return kDamaged;
    return FinishAndCheck(cinfo, errors) ? Ok : kDamaged;
}

bool SniffJpeg(std::span<const std::uint8_t> head) {
    return head.size() >= 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF;
}

class JpegDecoder final : public Decoder {
public:
    GpStatus Decode(std::span<const std::uint8_t> file, Bitmap& out) const override {
        if (!SniffJpeg(file)) return UnknownImageFormat;
        JpegErrors errors;
        jpeg_decompress_struct cinfo;
        if (!CreateDecompressor(cinfo, errors)) return OutOfMemory;
        return DecodeAndTurn(cinfo, errors, file, out);
    }

private:
    static GpStatus DecodeAndTurn(jpeg_decompress_struct& cinfo, JpegErrors& errors,
                                  std::span<const std::uint8_t> file, Bitmap& out) {
        std::vector<std::uint8_t> cmyk;
        Found found;
        GpStatus status = OutOfMemory;
        try {
            status = DecodeJpeg(cinfo, errors, file, out, cmyk, found);
        } catch (const std::bad_alloc&) {
            status = OutOfMemory;
        }
        jpeg_destroy_decompress(&cinfo);
        const int orientation = ExifOrientation(found.exif);
        if (status == Ok && orientation >= 2 && orientation <= 8)
            status = ApplyOrientation(out, orientation);
        if (status == Ok) SetMetadata(out, found.icc, found.exif, found.xmp);
        if (status != Ok) out.rgba.clear();
        return status;
    }
};

// Alpha over white: what a viewer shows for a transparent picture on paper.
void CompositeOverWhite(const std::uint8_t* src, std::uint32_t width, std::uint8_t* dst) {
    for (std::uint32_t x = 0; x < width; ++x, src += 4, dst += 3) {
        const unsigned a = src[3], rest = 255 * (255 - a);
        for (int c = 0; c < 3; ++c)
            dst[c] = static_cast<std::uint8_t>((src[c] * a + rest + 127) / 255);
    }
}

void SetUpCompressor(jpeg_compress_struct& cinfo, const Bitmap& image) {
    cinfo.image_width = image.width;
    cinfo.image_height = image.height;
    cinfo.input_components = image.hasAlpha ? 3 : 4;
    cinfo.in_color_space = image.hasAlpha ? JCS_RGB : JCS_EXT_RGBX;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, kQuality, TRUE);
    // Huffman tables fitted to the picture (still baseline): on 71 MP of our
    // photographs 11% smaller files (0.097 -> 0.086 MB/MP) for 2.2 ms/MP more
    // (1.9 -> 4.1), a small part of a run that writes five formats.
    cinfo.optimize_coding = TRUE;
    cinfo.comp_info[0].h_samp_factor = 2;
    cinfo.comp_info[0].v_samp_factor = 2;
    for (int c = 1; c < 3; ++c) {
        cinfo.comp_info[c].h_samp_factor = 1;
        cinfo.comp_info[c].v_samp_factor = 1;
    }
}

// An APP1 segment of an identifier and a block, when it fits in one segment
// (a block that does not is left out of a JPEG: its readers take one).
void WriteApp1(jpeg_compress_struct& cinfo, std::string_view id,
               const std::vector<std::uint8_t>& block, std::vector<std::uint8_t>& segment) {
    if (block.empty() || block.size() > kMaxSegmentData - id.size()) return;
    segment.assign(id.begin(), id.end());
    segment.insert(segment.end(), block.begin(), block.end());
    jpeg_write_marker(&cinfo, JPEG_APP0 + 1, segment.data(),
                      static_cast<unsigned int>(segment.size()));
}

GpStatus EncodeJpeg(jpeg_compress_struct& cinfo, JpegErrors& errors, const Bitmap& image,
                    std::FILE* out, std::vector<std::uint8_t>& rgb,
                    std::vector<std::uint8_t>& segment) {
    if (setjmp(errors.jump)) return StatusOfError(errors);
    jpeg_stdio_dest(&cinfo, out);
    SetUpCompressor(cinfo, image);
    jpeg_start_compress(&cinfo, TRUE);
    WriteApp1(cinfo, kExifId, image.meta.exif, segment);
    WriteApp1(cinfo, kXmpId, image.meta.xmp, segment);
    if (!image.meta.icc.empty())  // libjpeg splits it over as many APP2 segments as it needs
        jpeg_write_icc_profile(&cinfo, image.meta.icc.data(),
                               static_cast<unsigned int>(image.meta.icc.size()));
    while (cinfo.next_scanline < cinfo.image_height) {
        const std::uint8_t* src = image.Row(cinfo.next_scanline);
        JSAMPROW row = const_cast<JSAMPROW>(src);  // libjpeg does not write input rows
        if (image.hasAlpha) {
            CompositeOverWhite(src, image.width, rgb.data());
            row = rgb.data();
        }
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    return Ok;
}

class JpegEncoder final : public Encoder {
public:
    GpStatus Encode(const Bitmap& image, std::FILE* out) const override {
        if (image.width == 0 || image.height == 0 || out == nullptr) return InvalidParameter;
        if (image.width > kMaxSide || image.height > kMaxSide) return ValueOverflow;
        std::vector<std::uint8_t> rgb, segment;
        try {
            if (image.hasAlpha) rgb.resize(std::size_t{image.width} * 3);
        } catch (const std::bad_alloc&) {
            return OutOfMemory;
        }
        JpegErrors errors;
        jpeg_compress_struct cinfo;
        InitErrors(errors);
        cinfo.err = &errors.mgr;
        if (setjmp(errors.jump)) return OutOfMemory;
        jpeg_create_compress(&cinfo);
        GpStatus status = OutOfMemory;
        try {
            status = EncodeJpeg(cinfo, errors, image, out, rgb, segment);
        } catch (const std::bad_alloc&) {
            status = OutOfMemory;
        }
        jpeg_destroy_compress(&cinfo);
        return status;
    }
};

std::unique_ptr<Decoder> MakeDecoder() {
    return std::make_unique<JpegDecoder>();
}
std::unique_ptr<Encoder> MakeEncoder() {
    return std::make_unique<JpegEncoder>();
}

}  // namespace

constinit const CodecDescriptor kJpegCodec{
    .name = "jpeg",
    .priority = 20,
    .signatures = {{{0, "\xFF\xD8"}}},
    .sniff = SniffJpeg,
    .makeDecoder = MakeDecoder,
    .makeEncoder = MakeEncoder,
    .published = {0x557CF401, 0xB96B3CAE, u"Built-in JPEG Codec", u"JPEG",
                  u"*.JPG;*.JPEG;*.JPE;*.JFIF", u"image/jpeg"},
};

}  // namespace gdip
