// The one interface behind which every image format of the runtime module
// sits. Decoders are chosen by content (magic bytes), never by file name.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "../gdiplus.h"
#include "metadata.h"

namespace gdip {

// The bytes of a picture: a vector that leaves what resize adds as it is
// instead of zeroing it. AllocateBitmap zeroes a big picture itself, side by
// side, where a vector would zero it on one thread; elsewhere, resize(n, 0)
// or assign gives the bytes their value.
template <class T>
struct UninitializedAllocator : std::allocator<T> {
    UninitializedAllocator() = default;
    template <class U>
    UninitializedAllocator(const UninitializedAllocator<U>&) noexcept {}
    template <class U>
    void construct(U* p) noexcept {
        ::new (static_cast<void*>(p)) U;
    }
    template <class U, class... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};
using PixelBytes = std::vector<std::uint8_t, UninitializedAllocator<std::uint8_t>>;

// A decoded image: 8-bit RGBA, straight (not premultiplied) alpha, rows top
// down without padding. hasAlpha is true when the source carried an alpha
// channel or transparency (so encoders that can keep it do).
struct Bitmap {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    bool hasAlpha = false;
    PixelBytes rgba;  // width * height * 4
    Metadata meta;    // profile, EXIF and XMP of the source

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
// The one check of a size read from a file, made before anything sized by it
// is allocated: GenericError for an empty image (a broken file), OutOfMemory
// for one beyond the budget, Ok otherwise.
GpStatus CheckDeclaredSize(std::uint64_t width, std::uint64_t height);
// Allocates out.rgba for width x height after FitsBudget; OutOfMemory or
// ValueOverflow when it does not fit. `room` bytes more are reserved behind
// the pixels, for a decoder that works in the same buffer (its working copy
// is within the budget) and then cuts it back to the pixels.
// The pixels come zeroed; with Fill::Nothing they are left as they are,
// for a decoder that writes every one of them.
enum class Fill { Zeroes, Nothing };
GpStatus AllocateBitmap(Bitmap& out, std::uint32_t width, std::uint32_t height,
                        std::size_t room = 0, Fill fill = Fill::Zeroes);
// Gives the memory that the process holds freed back to the system: called
// when an image is released, so that the next picture does not come on top
// of what the last one's decoding and encoding left behind, and by a decoder
// that frees a large working set before it allocates the picture.
// (heap_trim_posix.cpp, heap_trim_windows.cpp)
void ReturnFreeMemory();
// Asks the system to back the whole large pages of [data, data + bytes),
// memory not yet written, with them: their size when it will, 0 when it
// will not. (Same files.)
std::size_t AdviseLargePages(void* data, std::size_t bytes);
// Has the system give [data, data + bytes) its pages as a first write would,
// without writing: safe while another thread writes into the same memory,
// whose writes then find their pages there. False where the system cannot;
// PopulatePages(nullptr, 0) tells whether it can. (Same files.)
bool PopulatePages(void* data, std::size_t bytes);

class Decoder {
public:
    virtual ~Decoder() = default;
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
    // The same, for a caller that lends the file's bytes for the call: the
    // decoder may move them about while it works and puts them back as they
    // were before it returns (a PNG joins its image data where it lies
    // instead of in a copy).
    virtual GpStatus DecodeLent(std::span<std::uint8_t> file, Bitmap& out) const {
        return Decode(file, out);
    }
};

class Encoder {
public:
    virtual ~Encoder() = default;
    // Writes the whole image to out (positioned at its start).
    virtual GpStatus Encode(const Bitmap& image, std::FILE* out) const = 0;
};

// What a program is told about an encoder: its class identifier and format
// identifier (the first group of each; the rest is shared by all encoders),
// names, file name patterns and MIME type.
struct PublishedEncoder {
    std::uint32_t clsidData1 = 0;
    std::uint32_t formatData1 = 0;
    std::u16string_view codecName;
    std::u16string_view description;
    std::u16string_view extensions;
    std::u16string_view mimeType;
};

// Bytes that mark a format's files, found at an offset from the start.
struct Signature {
    std::size_t offset = 0;
    std::string_view bytes;  // empty: no signature
};

// Everything the module knows of one format; each codec_<format>.cpp defines
// one, and codec_list.h lists them.
struct CodecDescriptor {
    std::string_view name;  // lower case, unique; also names the format's fuzzer
    // Decoders are tried from the lowest priority up: strict, long signatures
    // first, weak ones last.
    int priority = 0;
    // The format's marks: alternatives, the second may be empty. An encoder's
    // are published with it, so they start at offset 0 and have one length.
    std::array<Signature, 2> signatures{};
    // The whole content check: true when a file's first bytes are this format.
    bool (*sniff)(std::span<const std::uint8_t> head) = nullptr;
    std::unique_ptr<Decoder> (*makeDecoder)() = nullptr;
    std::unique_ptr<Encoder> (*makeEncoder)() = nullptr;  // null: the format is only read
    PublishedEncoder published{};                         // with an encoder only
};

#define ORV_CODEC(Name) extern const CodecDescriptor k##Name##Codec;
#include "codec_list.h"
#undef ORV_CODEC

// Every codec of the module, in the list's order (the order in which the
// encoders are published).
std::span<const CodecDescriptor* const> Codecs();
// What makes a list of codecs unusable: two of one name, class identifier or
// MIME type, two that claim one signature, a codec without a sniffer or a
// decoder, an encoder whose signatures cannot be published. Empty when
// nothing does; the module refuses to start otherwise.
std::string RegistryFault(std::span<const CodecDescriptor* const> codecs);

// EXIF orientation (1..8) found in an EXIF/TIFF byte block ("Exif\0\0" header
// optional); 1 when there is none or it is unreadable.
int ExifOrientation(std::span<const std::uint8_t> exif);
// Turns the image upright for an EXIF orientation value 2..8.
GpStatus ApplyOrientation(Bitmap& image, int orientation);

// The decoder for a file's content, or null when no format matches.
const Decoder* DecoderFor(std::span<const std::uint8_t> head);

}  // namespace gdip
