// orv-make-heif IN.pam OUT FORMAT ORIENTATION: the host program that makes
// the HEIF samples of the Windows tests (heif_test_util_windows.cpp) with
// the host's libheif. FORMAT and ORIENTATION are libheif's numbers
// (heif_compression_format, heif_orientation). Exits 1 when this libheif
// has no encoder for the format, 2 on bad arguments or input.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/support/heif_files.h"

namespace {

// The PAM files that WritePam writes: RGB or RGB_ALPHA, 8 bits.
bool ReadPam(const char* path, gdip::Bitmap& img) {
    std::ifstream in(path, std::ios::binary);
    std::string line, key;
    unsigned depth = 0;
    if (!std::getline(in, line) || line != "P7") return false;
    while (std::getline(in, line) && line != "ENDHDR") {
        std::istringstream fields(line);
        fields >> key;
        if (key == "WIDTH") fields >> img.width;
        if (key == "HEIGHT") fields >> img.height;
        if (key == "DEPTH") fields >> depth;
    }
    if (img.width == 0 || img.height == 0 || (depth != 3 && depth != 4)) return false;
    img.hasAlpha = depth == 4;
    img.rgba.assign(std::size_t{img.width} * img.height * 4, 255);
    for (std::size_t i = 0; i < img.rgba.size(); i += 4)
        in.read(reinterpret_cast<char*>(&img.rgba[i]), depth);
    return bool(in);
}

}  // namespace

int main(int argc, char** argv) {
    gdip::Bitmap img;
    if (argc != 5 || !ReadPam(argv[1], img)) {
        std::fprintf(stderr, "usage: orv-make-heif IN.pam OUT FORMAT ORIENTATION\n");
        return 2;
    }
    const testsupport::Bytes file = testsupport::MakeHeif(
        img, heif_compression_format(std::atoi(argv[3])), heif_orientation(std::atoi(argv[4])));
    if (file.empty()) return 1;
    std::ofstream(argv[2], std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
    return 0;
}
