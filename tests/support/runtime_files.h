// Shared pieces of the imaging runtime tests: files, third-party files made
// and read by ImageMagick, and a watch on the terminal. Pictures and their
// measures are in tests/support/test_images.h.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "platform/gdiplus/runtime/codec.h"
#include "tests/support/test_images.h"

struct jpeg_compress_struct;

namespace testsupport {

using Bytes = std::vector<std::uint8_t>;

// Decodes with the process's standard output and error redirected: what any
// library printed meanwhile lands in printed.
GpStatus DecodeWatched(const gdip::Decoder& decoder, const Bytes& file, gdip::Bitmap& out,
                       std::string& printed);
// The picture `codec` decodes from file, expecting `expected` and nothing
// printed on the way.
gdip::Bitmap DecodeQuietly(const gdip::CodecDescriptor& codec, const Bytes& file,
                           GpStatus expected = Ok);

// A JPEG written by libjpeg from rows of `components` interleaved samples in
// libjpeg's colour space `space`: `setup` runs once the defaults are set,
// `markers` once compression has started.
Bytes CompressJpeg(std::span<const std::uint8_t> samples, std::uint32_t width, std::uint32_t height,
                   int components, int space,
                   const std::function<void(jpeg_compress_struct&)>& setup,
                   const std::function<void(jpeg_compress_struct&)>& markers = {});

Bytes ReadBytes(const std::filesystem::path& p);
void WriteBytes(const std::filesystem::path& p, const Bytes& bytes);

// ImageMagick's convert with these arguments, its output discarded
// (convert_posix.cpp, convert_windows.cpp).
bool Convert(const std::vector<std::string>& args);
// A word for the host's POSIX shell, in single quotes (a quote inside ends
// them, stands escaped, and opens them again).
std::string ShellQuoted(const std::string& word);
// Whether convert can be run here at all; the tests that compare with it
// skip where it cannot.
bool HaveConvert();
// A PAM file that convert reads exactly (RGB, or RGB_ALPHA when hasAlpha).
void WritePam(const std::filesystem::path& p, const gdip::Bitmap& image);
// How convert decodes a file, as 8-bit RGBA; empty bitmap on failure.
gdip::Bitmap DecodeWithConvert(const std::filesystem::path& p);

}  // namespace testsupport
