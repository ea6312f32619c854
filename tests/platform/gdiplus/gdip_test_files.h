// Shared pieces of the imaging runtime tests: pictures with known pixels,
// encoding to and decoding from bytes, third-party files made and read by
// ImageMagick, and a watch on the terminal.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/gdiplus/runtime/codec.h"

namespace gdiptest {

using Bytes = std::vector<std::uint8_t>;

// Every pixel differs from its neighbours in every channel, so a misplaced
// row, column or channel shows. With alpha, alpha varies too.
gdip::Bitmap Pattern(std::uint32_t w, std::uint32_t h, bool alpha);
// Pixels with R = G = B.
gdip::Bitmap GrayPattern(std::uint32_t w, std::uint32_t h);
// Smooth colours, as in a photograph (JPEG's favourable case).
gdip::Bitmap Smooth(std::uint32_t w, std::uint32_t h);

Bytes EncodeToBytes(const gdip::Encoder& encoder, const gdip::Bitmap& image,
                    GpStatus* status = nullptr);
// Decodes with the process's standard output and error redirected: what any
// library printed meanwhile lands in printed.
GpStatus DecodeWatched(const gdip::Decoder& decoder, const Bytes& file, gdip::Bitmap& out,
                       std::string& printed);

Bytes ReadBytes(const std::filesystem::path& p);
void WriteBytes(const std::filesystem::path& p, const Bytes& bytes);

// ImageMagick's convert with these arguments, its output discarded.
bool Convert(const std::vector<std::string>& args);
// A PAM file that convert reads exactly (RGB, or RGB_ALPHA when hasAlpha).
void WritePam(const std::filesystem::path& p, const gdip::Bitmap& image);
// How convert decodes a file, as 8-bit RGBA; empty bitmap on failure.
gdip::Bitmap DecodeWithConvert(const std::filesystem::path& p);

// Largest difference of any channel (alpha included); 256 when the sizes differ.
int MaxDifference(const gdip::Bitmap& a, const gdip::Bitmap& b);
// PSNR of the colour channels in dB; 0 when the sizes differ, 100 when equal.
double Psnr(const gdip::Bitmap& a, const gdip::Bitmap& b);

}  // namespace gdiptest
