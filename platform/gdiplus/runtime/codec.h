// The one interface behind which every image format of the runtime module
// sits. Decoders are chosen by content (magic bytes), never by file name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <vector>

#include "../gdiplus.h"

namespace gdip {

// A decoded image: 8-bit RGBA, straight (not premultiplied) alpha, rows top
// down without padding. hasAlpha is true when the source carried an alpha
// channel or transparency (so encoders that can keep it do).
struct Bitmap {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    bool hasAlpha = false;
    std::vector<std::uint8_t> rgba;  // width * height * 4

    std::uint8_t* Row(std::uint32_t y) { return rgba.data() + std::size_t{y} * width * 4; }
    const std::uint8_t* Row(std::uint32_t y) const {
        return rgba.data() + std::size_t{y} * width * 4;
    }
};

// Bytes of decoded pixels that one image may take; an image whose declared
// size needs more is refused before any pixel buffer is allocated.
std::uint64_t PixelBudgetBytes();
// True when width x height RGBA pixels (and a decoder's working copy of the
// same size) stay within the budget. Zero sizes never fit.
bool FitsBudget(std::uint64_t width, std::uint64_t height);
// Allocates out.rgba for width x height after FitsBudget; OutOfMemory or
// ValueOverflow when it does not fit.
GpStatus AllocateBitmap(Bitmap& out, std::uint32_t width, std::uint32_t height);

class Decoder {
public:
    virtual ~Decoder() = default;
    // True when the first bytes of a file are this format's signature.
    virtual bool Sniff(std::span<const std::uint8_t> head) const = 0;
    // Decodes the first image (frame, page) of the whole file. Never throws,
    // never prints; any fault is a status.
    //
    // A file that ends early is judged by its rows alone, in every format:
    // when every row of the first image decodes whole from the bytes that are
    // there, the picture is read as if the file were complete, whatever comes
    // after the rows is missing (JPEG's end-of-image marker, PNG's end chunk,
    // GIF's terminator, later frames or pages); a file that ends inside its
    // rows is refused, never completed with grey or black.
    virtual GpStatus Decode(std::span<const std::uint8_t> file, Bitmap& out) const = 0;
};

class Encoder {
public:
    virtual ~Encoder() = default;
    // Writes the whole image to out (positioned at its start).
    virtual GpStatus Encode(const Bitmap& image, std::FILE* out) const = 0;
};

// One factory per format (codec_<format>.cpp).
std::unique_ptr<Decoder> MakeBmpDecoder();
std::unique_ptr<Encoder> MakeBmpEncoder();
std::unique_ptr<Decoder> MakePngDecoder();
std::unique_ptr<Encoder> MakePngEncoder();
std::unique_ptr<Decoder> MakeJpegDecoder();
std::unique_ptr<Encoder> MakeJpegEncoder();
std::unique_ptr<Decoder> MakeGifDecoder();
std::unique_ptr<Encoder> MakeGifEncoder();
std::unique_ptr<Decoder> MakeTiffDecoder();
std::unique_ptr<Encoder> MakeTiffEncoder();
std::unique_ptr<Decoder> MakeIcoDecoder();
std::unique_ptr<Decoder> MakeWebpDecoder();
std::unique_ptr<Decoder> MakeHeifDecoder();

// EXIF orientation (1..8) found in an EXIF/TIFF byte block ("Exif\0\0" header
// optional); 1 when there is none or it is unreadable.
int ExifOrientation(std::span<const std::uint8_t> exif);
// Turns the image upright for an EXIF orientation value 2..8.
GpStatus ApplyOrientation(Bitmap& image, int orientation);

// The decoder for a file's content, or null when no format matches.
const Decoder* DecoderFor(std::span<const std::uint8_t> head);

}  // namespace gdip
