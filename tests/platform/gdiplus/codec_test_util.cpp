#include "codec_test_util.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>

namespace codectest {

gdip::Bitmap MakeBitmap(std::uint32_t w, std::uint32_t h, bool alpha,
                        const std::function<Pixel(std::uint32_t, std::uint32_t)>& at) {
    gdip::Bitmap b;
    b.width = w;
    b.height = h;
    b.hasAlpha = alpha;
    b.rgba.resize(std::size_t{w} * h * 4);
    for (std::uint32_t y = 0; y < h; ++y)
        for (std::uint32_t x = 0; x < w; ++x) {
            Pixel p = at(x, y);
            if (!alpha) p[3] = 255;
            std::copy(p.begin(), p.end(), b.Row(y) + std::size_t{x} * 4);
        }
    return b;
}

gdip::Bitmap Asymmetric(std::uint32_t w, std::uint32_t h, bool alpha) {
    return MakeBitmap(w, h, alpha, [](std::uint32_t x, std::uint32_t y) {
        return Pixel{static_cast<std::uint8_t>(x * 37 + 11), static_cast<std::uint8_t>(y * 53 + 7),
                     static_cast<std::uint8_t>((x * 5 + y * 17) * 3),
                     static_cast<std::uint8_t>(255 - (x + y) * 9)};
    });
}

gdip::Bitmap Smooth(std::uint32_t w, std::uint32_t h) {
    return MakeBitmap(w, h, false, [w, h](std::uint32_t x, std::uint32_t y) {
        const double u = double(x) / w, v = double(y) / h;
        auto c = [](double t) { return static_cast<std::uint8_t>(std::clamp(t, 0.0, 1.0) * 255); };
        return Pixel{c(0.5 + 0.45 * std::sin(6 * u + 2 * v)), c(u * 0.7 + v * 0.3),
                     c(0.5 + 0.4 * std::cos(5 * v - 3 * u * v)), 255};
    });
}

Pixel PixelAt(const gdip::Bitmap& b, std::uint32_t x, std::uint32_t y) {
    const std::uint8_t* p = b.Row(y) + std::size_t{x} * 4;
    return {p[0], p[1], p[2], p[3]};
}

double Psnr(const gdip::Bitmap& a, const gdip::Bitmap& b) {
    if (a.width != b.width || a.height != b.height) return 0;
    double sum = 0;
    std::size_t n = 0;
    for (std::size_t i = 0; i < a.rgba.size(); ++i) {
        if (i % 4 == 3) continue;
        const double d = double(a.rgba[i]) - double(b.rgba[i]);
        sum += d * d;
        ++n;
    }
    if (sum == 0) return 1000;
    return 10 * std::log10(255.0 * 255.0 / (sum / double(n)));
}

int MaxDifference(const gdip::Bitmap& a, const gdip::Bitmap& b) {
    if (a.width != b.width || a.height != b.height) return 256;
    int most = 0;
    for (std::size_t i = 0; i < a.rgba.size(); ++i)
        most = std::max(most, std::abs(int(a.rgba[i]) - int(b.rgba[i])));
    return most;
}

Bytes Encode(const gdip::Encoder& encoder, const gdip::Bitmap& image, GpStatus* status) {
    std::FILE* f = std::tmpfile();
    if (f == nullptr) return {};
    const GpStatus s = encoder.Encode(image, f);
    if (status != nullptr) *status = s;
    Bytes bytes;
    std::rewind(f);
    for (int c; (c = std::fgetc(f)) != EOF;) bytes.push_back(static_cast<std::uint8_t>(c));
    std::fclose(f);
    return bytes;
}

bool HaveConvert() {
    static const bool have = Convert({"-version"});
    return have;
}

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

}  // namespace codectest
