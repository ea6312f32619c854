// Files of the imaging runtime tests: PAM reading, ImageMagick runs, the terminal watch.
#include "tests/support/runtime_files.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
// clang-format off
#include <jpeglib.h>
// clang-format on

#include "tests/support/temp_dir.h"

namespace testsupport {

namespace {

// Reads one header line "KEY VALUE" of a PAM file.
bool ReadPamHeader(std::istream& in, std::uint32_t& w, std::uint32_t& h, int& depth) {
    std::string line;
    if (!std::getline(in, line) || line != "P7") return false;
    while (std::getline(in, line) && line != "ENDHDR") {
        std::istringstream fields(line);
        std::string key;
        fields >> key;
        if (key == "WIDTH") fields >> w;
        if (key == "HEIGHT") fields >> h;
        if (key == "DEPTH") fields >> depth;
    }
    return w > 0 && h > 0 && depth >= 1 && depth <= 4;
}

}  // namespace

GpStatus DecodeWatched(const gdip::Decoder& decoder, const Bytes& file, gdip::Bitmap& out,
                       std::string& printed) {
    std::fflush(stdout);
    std::fflush(stderr);
    std::FILE* sink = ScratchFile();
    const int savedOut = dup(1), savedErr = dup(2);
    dup2(fileno(sink), 1);
    dup2(fileno(sink), 2);
    const GpStatus status = decoder.Decode(file, out);
    std::fflush(stdout);
    std::fflush(stderr);
    dup2(savedOut, 1);
    dup2(savedErr, 2);
    close(savedOut);
    close(savedErr);
    std::rewind(sink);
    printed.clear();
    for (int c; (c = std::fgetc(sink)) != EOF;) printed += static_cast<char>(c);
    std::fclose(sink);
    return status;
}

Bytes CompressJpeg(std::span<const std::uint8_t> samples, std::uint32_t width, std::uint32_t height,
                   int components, int space,
                   const std::function<void(jpeg_compress_struct&)>& setup,
                   const std::function<void(jpeg_compress_struct&)>& markers) {
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* mem = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &mem, &size);
    c.image_width = width;
    c.image_height = height;
    c.input_components = components;
    c.in_color_space = static_cast<J_COLOR_SPACE>(space);
    jpeg_set_defaults(&c);
    setup(c);
    jpeg_start_compress(&c, TRUE);
    if (markers) markers(c);
    const std::size_t stride = std::size_t{width} * static_cast<std::size_t>(components);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(samples.data() + stride * c.next_scanline);
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    Bytes out(mem, mem + size);
    std::free(mem);
    return out;
}

std::string ShellQuoted(const std::string& word) {
    std::string out = "'";
    for (char c : word) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

Bytes ReadBytes(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const std::filesystem::path& p, const Bytes& bytes) {
    std::ofstream out(p, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

bool HaveConvert() {
    static const bool have = Convert({"-version"});
    return have;
}

void WritePam(const std::filesystem::path& p, const gdip::Bitmap& image) {
    std::ofstream out(p, std::ios::binary);
    out << "P7\nWIDTH " << image.width << "\nHEIGHT " << image.height << "\nDEPTH "
        << (image.hasAlpha ? 4 : 3) << "\nMAXVAL 255\nTUPLTYPE "
        << (image.hasAlpha ? "RGB_ALPHA" : "RGB") << "\nENDHDR\n";
    for (std::size_t i = 0; i < image.rgba.size(); i += 4)
        out.write(reinterpret_cast<const char*>(&image.rgba[i]), image.hasAlpha ? 4 : 3);
}

gdip::Bitmap DecodeWithConvert(const std::filesystem::path& p) {
    const std::filesystem::path pam = p.string() + ".decoded.pam";
    gdip::Bitmap b;
    if (!Convert({p.string(), "-colorspace", "sRGB", "-depth", "8", "pam:" + pam.string()}))
        return b;
    std::ifstream in(pam, std::ios::binary);
    std::uint32_t w = 0, h = 0;
    int depth = 0;
    if (!ReadPamHeader(in, w, h, depth) || gdip::AllocateBitmap(b, w, h) != Ok) return {};
    std::vector<std::uint8_t> px(static_cast<std::size_t>(depth));
    for (std::size_t i = 0; i < b.rgba.size(); i += 4) {
        in.read(reinterpret_cast<char*>(px.data()), depth);
        const bool gray = depth <= 2;
        b.rgba[i] = px[0];
        b.rgba[i + 1] = gray ? px[0] : px[1];
        b.rgba[i + 2] = gray ? px[0] : px[2];
        b.rgba[i + 3] = (depth == 2 || depth == 4) ? px[depth - 1] : 255;
    }
    in.close();  // Windows removes no file that is still open
    std::filesystem::remove(pam);
    return b;
}

}  // namespace testsupport
