// HEIF samples for tests; apart from the other codec helpers because the
// Windows build has no HEIF.
#pragma once

#include <libheif/heif.h>

#include "tests/support/runtime_files.h"

namespace testsupport {

// A HEIF file of the image, stored turned as orientation says (irot/imir)
// with an EXIF block saying the same; empty when this libheif cannot encode
// the format.
Bytes MakeHeif(const gdip::Bitmap& img, heif_compression_format format,
               heif_orientation orientation);

}  // namespace testsupport
