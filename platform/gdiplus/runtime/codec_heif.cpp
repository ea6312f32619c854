// HEIF and AVIF through libheif: the primary image, as 8-bit RGBA.
//
// libheif applies the container's own rotation and mirroring (irot, imir)
// while decoding; that is the image's orientation. An EXIF block inside the
// file describes the same turn once more, so it is deliberately not read:
// applying it would turn the image twice. Its other data is kept (saying
// orientation 1), with the colour profile (or one made from an nclx colour
// statement) and the XMP item.
#include <libheif/heif.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string_view>
#include <vector>

#include "colour.h"
#include "decode_helpers.h"
#include "heif_quiet.h"
#include "heif_sniff.h"

namespace gdip {
namespace {

// libheif refuses images wider or taller than this on its own, before it
// allocates for them. The primary image's declared size is checked against
// the pixel budget below, but a grid image declares its output size in data
// that only libheif reads: so the side that libheif accepts is the side of
// the largest square the budget allows.
int MaxSide() {
    const auto pixels = static_cast<double>(PixelBudgetBytes() / 4);
    // One more than the side, as libheif refuses a side equal to its limit.
    return static_cast<int>(std::min(std::sqrt(pixels), 1048576.0)) + 1;
}

struct ContextFree {
    void operator()(heif_context* c) const { heif_context_free(c); }
};
struct HandleFree {
    void operator()(heif_image_handle* h) const { heif_image_handle_release(h); }
};
struct ImageFree {
    void operator()(heif_image* i) const { heif_image_release(i); }
};
struct OptionsFree {
    void operator()(heif_decoding_options* o) const { heif_decoding_options_free(o); }
};

GpStatus StatusOf(const heif_error& e) {
    switch (e.code) {
        case heif_error_Ok:
            return Ok;
        case heif_error_Memory_allocation_error:
            return OutOfMemory;
        case heif_error_Unsupported_filetype:
            return UnknownImageFormat;
        default:
            if (e.subcode == heif_suberror_Security_limit_exceeded) return OutOfMemory;
            // A file whose codec this build cannot decode.
            if (e.subcode == heif_suberror_Unsupported_codec) return UnknownImageFormat;
            return GenericError;
    }
}

void EnsureInitialised() {
    static const bool once = [] {
        heif_init(nullptr);
        return true;
    }();
    (void)once;
}

GpStatus CopyPixels(const heif_image* img, bool premultiplied, Bitmap& out) {
    const int w = heif_image_get_width(img, heif_channel_interleaved);
    const int h = heif_image_get_height(img, heif_channel_interleaved);
    int stride = 0;
    const std::uint8_t* src = heif_image_get_plane_readonly(img, heif_channel_interleaved, &stride);
    if (src == nullptr || w <= 0 || h <= 0 || stride < w * 4) return GenericError;
    Bitmap image;
    if (GpStatus s =
            AllocateBitmap(image, static_cast<std::uint32_t>(w), static_cast<std::uint32_t>(h));
        s != Ok)
        return s;
    for (int y = 0; y < h; ++y)
        std::memcpy(image.Row(static_cast<std::uint32_t>(y)),
                    src + static_cast<std::size_t>(y) * static_cast<std::size_t>(stride),
                    static_cast<std::size_t>(w) * 4);
    if (premultiplied) {
        for (std::size_t i = 0; i < image.rgba.size(); i += 4) {
            const unsigned a = image.rgba[i + 3];
            for (int k = 0; k < 3 && a != 255; ++k)
                image.rgba[i + k] = a == 0 ? 0
                                           : static_cast<std::uint8_t>(std::min(
                                                 255u, (image.rgba[i + k] * 255u + a / 2) / a));
        }
    }
    out = std::move(image);
    return Ok;
}

class HeifDecoder final : public Decoder {
public:
    GpStatus Decode(std::span<const std::uint8_t> file, Bitmap& out) const override {
        if (!SniffHeif(file)) return UnknownImageFormat;
        EnsureInitialised();
        const QuietStdio quiet;
        std::unique_ptr<heif_context, ContextFree> ctx(heif_context_alloc());
        if (!ctx) return OutOfMemory;
        heif_context_set_maximum_image_size_limit(ctx.get(), MaxSide());
        if (GpStatus s = StatusOf(heif_context_read_from_memory_without_copy(ctx.get(), file.data(),
                                                                             file.size(), nullptr));
            s != Ok)
            return s;
        heif_image_handle* raw = nullptr;
        if (GpStatus s = StatusOf(heif_context_get_primary_image_handle(ctx.get(), &raw)); s != Ok)
            return s;
        std::unique_ptr<heif_image_handle, HandleFree> handle(raw);
        const int w = heif_image_handle_get_width(handle.get());
        const int h = heif_image_handle_get_height(handle.get());
        if (w <= 0 || h <= 0) return GenericError;
        if (GpStatus s =
                CheckDeclaredSize(static_cast<std::uint64_t>(w), static_cast<std::uint64_t>(h));
            s != Ok)
            return s;
        return DecodeHandle(handle.get(), out);
    }

private:
    static GpStatus DecodeHandle(heif_image_handle* handle, Bitmap& out) {
        std::unique_ptr<heif_decoding_options, OptionsFree> options(heif_decoding_options_alloc());
        if (!options) return OutOfMemory;
        options->convert_hdr_to_8bit = 1;
        heif_image* raw = nullptr;
        if (GpStatus s = StatusOf(heif_decode_image(handle, &raw, heif_colorspace_RGB,
                                                    heif_chroma_interleaved_RGBA, options.get()));
            s != Ok)
            return s;
        std::unique_ptr<heif_image, ImageFree> img(raw);
        const bool premultiplied = heif_image_is_premultiplied_alpha(img.get()) != 0;
        if (GpStatus s = CopyPixels(img.get(), premultiplied, out); s != Ok) return s;
        out.hasAlpha = heif_image_handle_has_alpha_channel(handle) != 0;
        try {
            TakeMetadata(handle, out);
        } catch (const std::bad_alloc&) {
            out.meta = {};
        }
        return Ok;
    }

    // ---- metadata: the colour profile (or one made from an nclx colour
    // statement), the Exif item and the XMP item. libheif has already turned
    // the pixels upright from the file's own transforms.

    static std::vector<std::uint8_t> Profile(heif_image_handle* handle) {
        std::vector<std::uint8_t> icc;
        const std::size_t size = heif_image_handle_get_raw_color_profile_size(handle);
        if (size > 0 && size <= MaxMetadataBytes()) {
            icc.resize(size);
            if (heif_image_handle_get_raw_color_profile(handle, icc.data()).code != heif_error_Ok)
                icc.clear();
            return icc;
        }
        heif_color_profile_nclx* nclx = nullptr;
        if (heif_image_handle_get_nclx_color_profile(handle, &nclx).code != heif_error_Ok ||
            nclx == nullptr) {
            // libheif may have allocated the profile before it refused its values.
            heif_nclx_color_profile_free(nclx);
            return icc;
        }
        const int primaries = nclx->color_primaries, transfer = nclx->transfer_characteristics;
        // BT.709 primaries with an sRGB-like transfer are sRGB: no profile is made.
        const bool srgb = primaries == 1 && (transfer == 1 || transfer == 2 || transfer == 6 ||
                                             transfer == 13 || transfer == 14 || transfer == 15);
        const float xy[8] = {nclx->color_primary_red_x,   nclx->color_primary_red_y,
                             nclx->color_primary_green_x, nclx->color_primary_green_y,
                             nclx->color_primary_blue_x,  nclx->color_primary_blue_y,
                             nclx->color_primary_white_x, nclx->color_primary_white_y};
        heif_nclx_color_profile_free(nclx);
        if (!srgb && primaries != 2) icc = IccFromPrimaries(xy, transfer);
        return icc;
    }

    // The first metadata item of a type ("Exif", or "mime" of XMP's type).
    static std::vector<std::uint8_t> Item(heif_image_handle* handle, const char* type,
                                          const char* contentType) {
        const int count = heif_image_handle_get_number_of_metadata_blocks(handle, type);
        std::vector<heif_item_id> ids(static_cast<std::size_t>(std::max(count, 0)));
        const int n =
            heif_image_handle_get_list_of_metadata_block_IDs(handle, type, ids.data(), count);
        for (int i = 0; i < n; ++i) {
            if (contentType != nullptr) {
                const char* c = heif_image_handle_get_metadata_content_type(handle, ids[i]);
                if (c == nullptr || std::string_view(c) != contentType) continue;
            }
            const std::size_t size = heif_image_handle_get_metadata_size(handle, ids[i]);
            if (size == 0 || size > MaxMetadataBytes() + 4) continue;
            std::vector<std::uint8_t> data(size);
            if (heif_image_handle_get_metadata(handle, ids[i], data.data()).code != heif_error_Ok)
                continue;
            return data;
        }
        return {};
    }

    static void TakeMetadata(heif_image_handle* handle, Bitmap& out) {
        const std::vector<std::uint8_t> icc = Profile(handle);
        std::vector<std::uint8_t> exif = Item(handle, "Exif", nullptr);
        // The Exif item starts with the offset of the TIFF header after it.
        std::span<const std::uint8_t> tiff;
        if (exif.size() >= 4) {
            const std::uint32_t skip = std::uint32_t{exif[0]} << 24 | std::uint32_t{exif[1]} << 16 |
                                       std::uint32_t{exif[2]} << 8 | exif[3];
            if (skip <= exif.size() - 4) tiff = std::span(exif).subspan(4 + skip);
        }
        const std::vector<std::uint8_t> xmp = Item(handle, "mime", "application/rdf+xml");
        SetMetadata(out, icc, tiff, xmp);
    }
};

std::unique_ptr<Decoder> MakeDecoder() {
    return std::make_unique<HeifDecoder>();
}

}  // namespace

constinit const CodecDescriptor kHeifCodec{
    .name = "heif",
    .priority = 60,
    .signatures = {{{4, "ftyp"}}},
    .sniff = SniffHeif,
    .makeDecoder = MakeDecoder,
};

}  // namespace gdip
