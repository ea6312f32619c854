// HEIF samples for the HEIF decoder's tests, made with libheif's encoders.
#include "tests/support/heif_files.h"

#include <algorithm>
#include <memory>

namespace testsupport {

namespace {

struct HeifFree {
    void operator()(heif_context* c) const { heif_context_free(c); }
    void operator()(heif_encoder* e) const { heif_encoder_release(e); }
    void operator()(heif_image* i) const { heif_image_release(i); }
    void operator()(heif_encoding_options* o) const { heif_encoding_options_free(o); }
};

heif_error Append(heif_context*, const void* data, size_t size, void* out) {
    auto* bytes = static_cast<Bytes*>(out);
    bytes->insert(bytes->end(), static_cast<const std::uint8_t*>(data),
                  static_cast<const std::uint8_t*>(data) + size);
    return heif_error{heif_error_Ok, heif_suberror_Unspecified, ""};
}

}  // namespace

Bytes MakeHeif(const gdip::Bitmap& img, heif_compression_format format,
               heif_orientation orientation) {
    heif_init(nullptr);
    std::unique_ptr<heif_context, HeifFree> ctx(heif_context_alloc());
    heif_encoder* enc = nullptr;
    if (heif_context_get_encoder_for_format(ctx.get(), format, &enc).code != heif_error_Ok)
        return {};
    std::unique_ptr<heif_encoder, HeifFree> encoder(enc);
    heif_encoder_set_lossy_quality(enc, 95);
    heif_image* raw = nullptr;
    const int channels = img.hasAlpha ? 4 : 3;
    heif_image_create(int(img.width), int(img.height), heif_colorspace_RGB,
                      img.hasAlpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB,
                      &raw);
    std::unique_ptr<heif_image, HeifFree> image(raw);
    heif_image_add_plane(raw, heif_channel_interleaved, int(img.width), int(img.height), 8);
    int stride = 0;
    std::uint8_t* dst = heif_image_get_plane(raw, heif_channel_interleaved, &stride);
    for (std::uint32_t y = 0; y < img.height; ++y)
        for (std::uint32_t x = 0; x < img.width; ++x)
            std::copy_n(img.Row(y) + x * 4, channels, dst + y * std::size_t(stride) + x * channels);
    std::unique_ptr<heif_encoding_options, HeifFree> options(heif_encoding_options_alloc());
    options->image_orientation = orientation;
    heif_image_handle* handle = nullptr;
    if (heif_context_encode_image(ctx.get(), raw, enc, options.get(), &handle).code !=
        heif_error_Ok)
        return {};
    const std::uint8_t exif[] = {0, 0, 0, 0, 'M', 'M', 0,    42,
                                 0, 0, 0, 8, 0,   1,   0x01, 0x12,
                                 0, 3, 0, 0, 0,   1,   0,    std::uint8_t(orientation),
                                 0, 0, 0, 0, 0,   0};
    heif_context_add_exif_metadata(ctx.get(), handle, exif, sizeof exif);
    heif_image_handle_release(handle);
    Bytes out;
    heif_writer writer{1, Append};
    heif_context_write(ctx.get(), &writer, &out);
    return out;
}

}  // namespace testsupport
