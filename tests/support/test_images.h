// Pictures with known pixels for the imaging tests and the fuzzers' seeds,
// their encoding to bytes, files built by hand (icons, WebP with EXIF), and
// the two measures of how far apart two pictures are.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "platform/gdiplus/runtime/codec.h"

namespace testsupport {

using Bytes = std::vector<std::uint8_t>;
using Pixel = std::array<std::uint8_t, 4>;

// A picture whose pixel (x, y) is at(x, y); alpha forced to 255 without alpha.
gdip::Bitmap MakeBitmap(std::uint32_t w, std::uint32_t h, bool alpha,
                        const std::function<Pixel(std::uint32_t, std::uint32_t)>& at);
// Every pixel differs from its neighbours in every channel, so a misplaced
// row, column or channel shows. With alpha, alpha varies too.
gdip::Bitmap Pattern(std::uint32_t w, std::uint32_t h, bool alpha);
// The pattern with R = G = B.
gdip::Bitmap GrayPattern(std::uint32_t w, std::uint32_t h);
// No two pixels alike along either axis, so every turn and mirror shows.
gdip::Bitmap Asymmetric(std::uint32_t w, std::uint32_t h, bool alpha = false);
// Smooth, photograph-like colours (lossy encoders' favourable case).
gdip::Bitmap Smooth(std::uint32_t w, std::uint32_t h);
// A smooth picture of another shape, for tests whose limits were set on it.
gdip::Bitmap SmoothWaves(std::uint32_t w, std::uint32_t h);

Pixel PixelAt(const gdip::Bitmap& b, std::uint32_t x, std::uint32_t y);

// What the encoder writes for the image; empty when it writes nothing. The
// encoder's status goes to status when asked for.
Bytes Encode(const gdip::Encoder& encoder, const gdip::Bitmap& image, GpStatus* status = nullptr);

// Little-endian fields appended to a file being built.
void Put16(Bytes& b, std::uint32_t v);
void Put32(Bytes& b, std::uint32_t v);

// A bitmap entry as icons store it: header, palette, bottom-up colour rows,
// then the AND mask (1 = transparent, where alpha < 128). Depths up to 8 take
// each pixel's index in the palette.
Bytes IconBitmap(const gdip::Bitmap& img, int bits, const std::vector<Pixel>& palette);
struct IconEntry {
    std::uint32_t w, h;  // as the directory states them
    std::uint16_t bits;
    Bytes data;  // an IconBitmap or a PNG file
};
// An icon file: the directory, then every entry's data.
Bytes Icon(const std::vector<IconEntry>& entries);

// How libtiff itself lays out a TIFF file (the tags' numbers: RGB 2, planes
// contiguous 1, Adobe deflate 8, top-left 1).
struct TiffLayout {
    std::uint32_t w = 9, h = 5;
    std::uint16_t bits = 8, samples = 3, photometric = 2;
    std::uint16_t planar = 1, extra = 0;  // extra 0: no extra sample
    std::uint16_t compression = 8;
    std::uint16_t orientation = 1;  // written only when not top-left
    std::uint32_t tile = 0;         // tile side, or strips of rowsPerStrip rows
    std::uint32_t rowsPerStrip = 2;
    std::vector<std::uint16_t> map;  // colour map, red then green then blue
};
// A TIFF file written by libtiff; sample s of pixel (x, y) is value(x, y, s).
// Empty when libtiff refuses the layout.
Bytes LibtiffFile(const TiffLayout& l, const std::function<std::uint32_t(int, int, int)>& value);

// A lossless WebP file (simple format, VP8L) rewrapped as an extended file of
// w x h with an EXIF chunk holding the orientation.
Bytes WebpWithExif(const Bytes& simple, std::uint32_t w, std::uint32_t h,
                   std::uint16_t orientation);

// An EXIF block (big-endian, no "Exif\0\0") as a camera writes it: make
// "Orvane Optics", model "KX-7", the orientation, an EXIF directory with the
// capture date 2024:05:06 07:08:09 and the picture's size (w x h, as stored),
// and a thumbnail directory pointing at a few bytes.
Bytes CameraExif(std::uint16_t orientation, std::uint32_t w, std::uint32_t h);
// An XMP packet naming the creator "Lin Wei".
Bytes SampleXmp();

// Pictures of two sizes are as far apart as can be: 256 and 0 dB.
// Largest difference of any channel, alpha included.
int MaxDifference(const gdip::Bitmap& a, const gdip::Bitmap& b);
// PSNR of the colour channels in dB; identical pictures: infinity.
double Psnr(const gdip::Bitmap& a, const gdip::Bitmap& b);

}  // namespace testsupport
