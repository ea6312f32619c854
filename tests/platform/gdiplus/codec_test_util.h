// Helpers for the codec tests: test images, encoding to bytes, files made by
// ImageMagick, image comparison, and decoding with the terminal watched.
#pragma once

#include <libheif/heif.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/gdiplus/runtime/codec.h"
#include "tests/platform/gdiplus/gdip_test_files.h"

namespace codectest {

using Bytes = std::vector<std::uint8_t>;
using Pixel = std::array<std::uint8_t, 4>;

gdip::Bitmap MakeBitmap(std::uint32_t w, std::uint32_t h, bool alpha,
                        const std::function<Pixel(std::uint32_t, std::uint32_t)>& at);
// No two pixels alike along either axis, so every turn and mirror shows.
gdip::Bitmap Asymmetric(std::uint32_t w, std::uint32_t h, bool alpha = false);
// Smooth, photograph-like colours.
gdip::Bitmap Smooth(std::uint32_t w, std::uint32_t h);

Pixel PixelAt(const gdip::Bitmap& b, std::uint32_t x, std::uint32_t y);
// Mean squared error over the colour channels as PSNR in dB (1000 when equal).
double Psnr(const gdip::Bitmap& a, const gdip::Bitmap& b);
// Largest difference of any channel, alpha included.
int MaxDifference(const gdip::Bitmap& a, const gdip::Bitmap& b);

Bytes Encode(const gdip::Encoder& encoder, const gdip::Bitmap& image, GpStatus* status = nullptr);
// Files, ImageMagick and the watched decode are shared with the runtime's
// other tests.
using gdiptest::Convert;
using gdiptest::DecodeWatched;
using gdiptest::ReadBytes;
using gdiptest::WriteBytes;
using gdiptest::WritePam;

bool HaveConvert();

// A HEIF file of the image, stored turned as orientation says (irot/imir)
// with an EXIF block saying the same; empty when this libheif cannot encode
// the format.
Bytes MakeHeif(const gdip::Bitmap& img, heif_compression_format format,
               heif_orientation orientation);

}  // namespace codectest
