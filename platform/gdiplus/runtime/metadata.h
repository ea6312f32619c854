// What a picture carries besides its pixels: its colour profile, its EXIF
// block and its XMP packet, read by every decoder that finds them and written
// by every encoder whose format holds them. All three come straight from
// untrusted files: each is checked when it is read, and one that is cut,
// looping, oversized or malformed is dropped, never the picture.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "../gdiplus.h"

namespace gdip {

struct Bitmap;
struct SrgbCopy;

struct Metadata {
    // A whole ICC profile of an RGB colour space, as the source held it.
    std::vector<std::uint8_t> icc;
    // A TIFF-structured EXIF block ("II*\0" or "MM\0*" first, no "Exif\0\0"),
    // already saying orientation 1 and the decoded size.
    std::vector<std::uint8_t> exif;
    // One XMP packet, UTF-8.
    std::vector<std::uint8_t> xmp;
    // The pixels converted to sRGB for the formats that hold no profile, made
    // once at the first such save; null when the profile needs no conversion.
    std::shared_ptr<SrgbCopy> srgb;
};

// No block larger than this is kept: no real profile, EXIF block or XMP
// packet comes near it, and a file cannot make the runtime hold more.
constexpr std::size_t kMaxMetadataBytes = std::size_t{4} << 20;
// What a reader may allocate for one block: the above, and never more than
// the pixel budget.
std::size_t MaxMetadataBytes();

// Checks what a decoder found and keeps what is sound in out.meta; called
// when out's pixels are final (upright, at their size). Empty spans are
// absent blocks. An EXIF block may start with "Exif\0\0". A CMYK or gray
// profile is not kept: the pixels are RGB.
void SetMetadata(Bitmap& out, std::span<const std::uint8_t> icc, std::span<const std::uint8_t> exif,
                 std::span<const std::uint8_t> xmp);

// The ICC profile when the block is a structurally whole one (its size, its
// signature, every tag inside it), empty otherwise.
std::vector<std::uint8_t> CheckedIcc(std::span<const std::uint8_t> icc);
// The colour space of a checked profile ("RGB ", "CMYK", "GRAY").
std::string_view IccColourSpace(std::span<const std::uint8_t> icc);

// The EXIF block made fit for a picture of width x height whose pixels are
// upright: orientation 1, PixelXDimension/PixelYDimension of that size, and
// a thumbnail that was turned with the old orientation dropped; everything
// else byte for byte. Empty when the block is not sound (a directory or value
// outside it, a loop, an absurd count).
std::vector<std::uint8_t> TidyExif(std::span<const std::uint8_t> exif, std::uint32_t width,
                                   std::uint32_t height);

// The EXIF block of a TIFF file's first directory: its descriptive tags
// (description, make, model, software, date, artist, copyright) and its EXIF
// and GPS directories, in the file's byte order. Empty when it has none.
std::vector<std::uint8_t> ExifOfTiffFile(std::span<const std::uint8_t> file);

// A TIFF writer's share of an EXIF block: the EXIF and GPS directories laid
// out to sit at file offset `base`, with their offsets inside the data, and
// the descriptive tags of the main directory, which the writer sets itself.
struct TiffExif {
    std::vector<std::uint8_t> data;  // placed at `base` in the output file
    std::uint32_t exifIfd = 0;       // file offsets; 0: none
    std::uint32_t gpsIfd = 0;
    struct Text {
        std::uint16_t tag;
        std::vector<char> value;  // NUL-terminated
    };
    std::vector<Text> texts;
    bool bigEndian = false;  // the byte order the file must have
};
TiffExif ExifForTiff(std::span<const std::uint8_t> exif, std::uint32_t base);

// The XMP packet when it looks like one (an xmpmeta or RDF element) and is
// text, empty otherwise.
std::vector<std::uint8_t> CheckedXmp(std::span<const std::uint8_t> xmp);

// The pixels to write in a format that holds no profile: the image itself,
// or, when its profile is not sRGB, its pixels converted to sRGB (made once
// and kept with the image). OutOfMemory when the copy does not fit.
const Bitmap* SrgbPixels(const Bitmap& image, GpStatus& status);

}  // namespace gdip
