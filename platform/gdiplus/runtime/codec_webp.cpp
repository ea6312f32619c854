// WebP through libwebp: still images, and the first frame of an animation
// composed onto its canvas; turned upright by an EXIF chunk's orientation.
// The ICCP, EXIF and XMP chunks are kept as the picture's metadata.
#include <webp/decode.h>
#include <webp/demux.h>

#include <memory>

#include "decode_helpers.h"

namespace gdip {
namespace {

struct DemuxFree {
    void operator()(WebPDemuxer* d) const { WebPDemuxDelete(d); }
};

// An extended file states its canvas before any frame: a size beyond the
// budget is refused before libwebp looks further.
GpStatus CheckCanvasHeader(std::span<const std::uint8_t> file) {
    constexpr std::size_t kChunk = 12, kCanvas = kChunk + 8 + 4;
    if (detail::StartsWith(file, "VP8X", kChunk) && file.size() >= kCanvas + 6) {
        const std::uint64_t w = std::uint64_t{detail::Le24(file.data() + kCanvas)} + 1;
        const std::uint64_t h = std::uint64_t{detail::Le24(file.data() + kCanvas + 3)} + 1;
        return CheckDeclaredSize(w, h);
    }
    return Ok;
}

GpStatus DecodeInto(const WebPData& bytes, std::uint8_t* rgba, std::uint32_t w, std::uint32_t h) {
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config)) return GenericError;
    config.output.colorspace = MODE_RGBA;
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = rgba;
    config.output.u.RGBA.stride = static_cast<int>(w * 4);
    config.output.u.RGBA.size = std::size_t{w} * h * 4;
    const VP8StatusCode code = WebPDecode(bytes.bytes, bytes.size, &config);
    WebPFreeDecBuffer(&config.output);
    if (code == VP8_STATUS_OUT_OF_MEMORY) return OutOfMemory;
    return code == VP8_STATUS_OK ? Ok : GenericError;
}

// The first frame, placed at its offset on a transparent canvas.
GpStatus DecodeFirstFrame(const WebPDemuxer* demux, Bitmap& canvas) {
    WebPIterator it;
    if (!WebPDemuxGetFrame(demux, 1, &it)) return GenericError;
    const auto fw = static_cast<std::uint32_t>(it.width),
               fh = static_cast<std::uint32_t>(it.height);
    const auto fx = static_cast<std::uint32_t>(it.x_offset),
               fy = static_cast<std::uint32_t>(it.y_offset);
    const bool covers = fx == 0 && fy == 0 && fw == canvas.width && fh == canvas.height;
    GpStatus status = Ok;
    if (it.width <= 0 || it.height <= 0 || it.x_offset < 0 || it.y_offset < 0 ||
        std::uint64_t{fx} + fw > canvas.width || std::uint64_t{fy} + fh > canvas.height) {
        status = GenericError;
    } else if (covers) {
        status = DecodeInto(it.fragment, canvas.rgba.data(), fw, fh);
    } else {
        Bitmap frame;
        status = AllocateBitmap(frame, fw, fh);
        if (status == Ok) status = DecodeInto(it.fragment, frame.rgba.data(), fw, fh);
        for (std::uint32_t y = 0; status == Ok && y < fh; ++y)
            std::memcpy(canvas.Row(fy + y) + std::size_t{fx} * 4, frame.Row(y),
                        std::size_t{fw} * 4);
    }
    canvas.hasAlpha = it.has_alpha || !covers;
    WebPDemuxReleaseIterator(&it);
    return status;
}

// The first chunk of a kind, when the file's flags say it has one; the
// bytes stay in the file.
std::span<const std::uint8_t> Chunk(const WebPDemuxer* demux, const char* fourcc,
                                    std::uint32_t flag) {
    if (!(WebPDemuxGetI(demux, WEBP_FF_FORMAT_FLAGS) & flag)) return {};
    WebPChunkIterator chunk;
    std::span<const std::uint8_t> bytes;
    if (WebPDemuxGetChunk(demux, fourcc, 1, &chunk)) bytes = {chunk.chunk.bytes, chunk.chunk.size};
    WebPDemuxReleaseChunkIterator(&chunk);
    return bytes;
}

bool SniffWebp(std::span<const std::uint8_t> head) {
    return detail::StartsWith(head, "RIFF") && detail::StartsWith(head, "WEBP", 8);
}

class WebpDecoder final : public Decoder {
public:
    GpStatus Decode(std::span<const std::uint8_t> file, Bitmap& out) const override {
        if (!SniffWebp(file)) return UnknownImageFormat;
        if (GpStatus s = CheckCanvasHeader(file); s != Ok) return s;
        const WebPData data{file.data(), file.size()};
        std::unique_ptr<WebPDemuxer, DemuxFree> demux(WebPDemux(&data));
        if (!demux) return GenericError;
        const std::uint32_t w = WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_WIDTH);
        const std::uint32_t h = WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_HEIGHT);
        if (GpStatus s = CheckDeclaredSize(w, h); s != Ok) return s;
        Bitmap image;
        if (GpStatus s = AllocateBitmap(image, w, h); s != Ok) return s;
        if (GpStatus s = DecodeFirstFrame(demux.get(), image); s != Ok) return s;
        const auto exif = Chunk(demux.get(), "EXIF", EXIF_FLAG);
        if (GpStatus s = ApplyOrientation(image, ExifOrientation(exif)); s != Ok) return s;
        try {
            SetMetadata(image, Chunk(demux.get(), "ICCP", ICCP_FLAG), exif,
                        Chunk(demux.get(), "XMP ", XMP_FLAG));
        } catch (const std::bad_alloc&) {
            image.meta = {};
        }
        out = std::move(image);
        return Ok;
    }
};

std::unique_ptr<Decoder> MakeDecoder() {
    return std::make_unique<WebpDecoder>();
}

}  // namespace

constinit const CodecDescriptor kWebpCodec{
    .name = "webp",
    .priority = 50,
    .signatures = {{{0, "RIFF"}}},
    .sniff = SniffWebp,
    .makeDecoder = MakeDecoder,
};

}  // namespace gdip
