// Kept apart from codec_png.cpp so that the fuzzers can link another rule.
#include "png_checksums.h"

namespace gdip {

void SetPngChecksumRule(png_structp png) {
    // A damaged chunk is an error, and a damaged ancillary chunk is dropped
    // with a warning (that the reader does not print).
    png_set_crc_action(png, PNG_CRC_DEFAULT, PNG_CRC_DEFAULT);
}

}  // namespace gdip
