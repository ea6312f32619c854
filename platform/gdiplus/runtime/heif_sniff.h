// The content check of HEIF and AVIF files, shared by the decoder and, on
// Windows, by the module's descriptor that hands the files to the HEIF
// companion DLL.
#pragma once

#include <cstdint>
#include <span>

namespace gdip {

// True when the file starts with an ftyp box naming an image (not video)
// brand of the format, HEVC or AV1, as its major or a compatible brand.
bool SniffHeif(std::span<const std::uint8_t> head);

}  // namespace gdip
