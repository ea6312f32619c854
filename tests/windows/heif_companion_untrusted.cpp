// A HEIF companion that misbehaves in what it hands over besides the pixels,
// for heif_companion_windows_test.cpp: a 2x2 picture with a colour profile
// that is no profile, an EXIF block larger than the runtime keeps, and a
// sound XMP packet. The module must check these as any decoder's findings.
#include <cstring>
#include <vector>

#include "platform/gdiplus/runtime/heif_companion_abi.h"

extern "C" __declspec(dllexport) std::uint32_t orv_heif_abi() {
    return gdip::kHeifCompanionAbi;
}

extern "C" __declspec(dllexport) int orv_heif_decode(gdip::HeifCompanionRequest* request) {
    int status = 0;
    std::uint8_t* rows = request->allocate(request->host, 2, 2, &status);
    if (rows == nullptr) return status;
    std::memset(rows, 0x80, 2 * 2 * 4);
    const std::vector<std::uint8_t> icc(600, 'A');
    std::vector<std::uint8_t> exif((std::size_t{4} << 20) + 1, 0);
    std::memcpy(exif.data(), "II*\0\x08\0\0\0", 8);
    const char xmp[] =
        "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF "
        "xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\"/></x:xmpmeta>";
    request->metadata(request->host, icc.data(), icc.size(), exif.data(), exif.size(),
                      reinterpret_cast<const std::uint8_t*>(xmp), sizeof xmp - 1);
    return 0;
}
