// One libFuzzer target over the metadata readers on their own: each input is
// taken as an EXIF block, a TIFF file's directories, an ICC profile and an
// XMP packet. Whatever a reader keeps must read again (a tidied EXIF block
// is sound and says orientation 1), and nothing may crash, hang or leak.
#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/gdiplus/runtime/colour.h"
#include "platform/gdiplus/runtime/metadata.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> in(data, size);
    const auto exif = gdip::TidyExif(in, 640, 480);
    if (!exif.empty() && gdip::TidyExif(exif, 640, 480).empty()) __builtin_trap();
    if (!exif.empty() && gdip::ExifOrientation(exif) != 1) __builtin_trap();
    const auto fromTiff = gdip::ExifOfTiffFile(in);
    if (!fromTiff.empty() && gdip::TidyExif(fromTiff, 1, 1).empty()) __builtin_trap();
    const gdip::TiffExif laidOut = gdip::ExifForTiff(in, 8);
    if (laidOut.exifIfd > 8 + laidOut.data.size() || laidOut.gpsIfd > 8 + laidOut.data.size())
        __builtin_trap();
    const auto icc = gdip::CheckedIcc(in);
    if (!icc.empty() && gdip::IccUsable(icc)) (void)gdip::IccIsSrgb(icc);
    (void)gdip::CheckedXmp(in);
    return 0;
}
