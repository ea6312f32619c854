// Chunk checksums ignored for fuzzing: nearly every mutation of a chunk
// would otherwise be refused at its checksum before any of it is parsed, so
// that the fuzzers would never reach the parsing of headers, palettes,
// transparency and text. The zlib stream's own checksum is ignored for the
// same reason. This definition takes the place of the runtime's
// png_checksums.cpp, as it is linked before the codec library.
#include "platform/gdiplus/runtime/png_checksums.h"

namespace gdip {

void SetPngChecksumRule(png_structp png) {
    png_set_crc_action(png, PNG_CRC_QUIET_USE, PNG_CRC_QUIET_USE);
    png_set_option(png, PNG_IGNORE_ADLER32, PNG_OPTION_ON);
}

}  // namespace gdip
