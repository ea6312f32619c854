// A command-line probe of the imaging runtime, built for both systems, so
// that their outputs can be compared file by file:
//   orv-probe samples DIR           writes sample pictures in every format
//   orv-probe convert SRC OUT       every file of SRC through the flat API,
//                                   saved in every published format
//   orv-probe compare A B           the files of A and B: identical bytes
//                                   (JPEG too: both systems' Huffman coders
//                                   write the same bits)
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/gdiplus/gdiplus.h"
#include "platform/gdiplus/runtime/colour.h"
#include "tests/support/image_files.h"
#include "tests/support/runtime_files.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

// "*.JPG;*.JPEG" -> "jpg"
std::string FirstExtension(const WCHAR* list) {
    std::string ext;
    for (const WCHAR* p = list + 2; *p != 0 && *p != u';'; ++p)
        ext += static_cast<char>(std::tolower(static_cast<int>(*p)));
    return ext;
}

int Samples(const fs::path& folder) {
    fs::create_directories(folder);
    // A wide-gamut photograph with a capture date, a camera and XMP: its
    // outputs carry them, or (BMP, GIF) hold its pixels converted to sRGB.
    gdip::Bitmap tagged = testsupport::Smooth(160, 120);
    const float adobe[8] = {0.64f, 0.33f, 0.21f, 0.71f, 0.15f, 0.06f, 0.3127f, 0.3290f};
    tagged.meta.icc = gdip::IccFromPrimaries(adobe, 4);
    tagged.meta.exif = testsupport::CameraExif(1, 160, 120);
    tagged.meta.xmp = testsupport::SampleXmp();
    const std::vector<std::pair<std::string, gdip::Bitmap>> pictures = {
        {"smooth", testsupport::Smooth(160, 120)},
        {"pattern", testsupport::Pattern(37, 21, false)},
        {"alpha", testsupport::Pattern(33, 17, true)},
        {"gray", testsupport::GrayPattern(40, 30)},
        {"tagged", tagged},
    };
    // Every format the runtime writes, named by its first file name pattern.
    for (const auto& [name, bitmap] : pictures)
        for (const gdip::CodecDescriptor* codec : gdip::Codecs()) {
            if (codec->makeEncoder == nullptr) continue;
            const std::u16string patterns(codec->published.extensions);
            testsupport::WriteBytes(folder / (name + "." + FirstExtension(patterns.c_str())),
                                    testsupport::Encode(*codec->makeEncoder(), bitmap));
        }
    return 0;
}

int ConvertFolder(const fs::path& source, const fs::path& out) {
    ULONG_PTR token = 0;
    GdiplusStartupInput input{1, nullptr, FALSE, FALSE};
    if (GdiplusStartup(&token, &input, nullptr) != Ok) {
        std::fprintf(stderr, "the imaging runtime did not start\n");
        return 2;
    }
    UINT count = 0, size = 0;
    GdipGetImageEncodersSize(&count, &size);
    std::vector<std::uint8_t> block(size);
    auto* encoders = reinterpret_cast<ImageCodecInfo*>(block.data());
    GdipGetImageEncoders(count, size, encoders);
    fs::create_directories(out);
    int failures = 0;
    for (const std::string& name : testsupport::FileNamesIn(source)) {
        const fs::path file = source / name;
        GpBitmap* bitmap = nullptr;
        const GpStatus loaded =
            GdipCreateBitmapFromFile(testsupport::WinPathOf(file).c_str(), &bitmap);
        GpImage* image = reinterpret_cast<GpImage*>(bitmap);
        UINT w = 0, h = 0;
        GdipGetImageWidth(image, &w);
        GdipGetImageHeight(image, &h);
        std::printf("%s: status %d, %ux%u", file.filename().string().c_str(), loaded, w, h);
        for (UINT i = 0; loaded == Ok && i < count; ++i) {
            const fs::path target = out / (file.filename().string() + "." +
                                           FirstExtension(encoders[i].FilenameExtension));
            const GpStatus saved = GdipSaveImageToFile(
                image, testsupport::WinPathOf(target).c_str(), &encoders[i].Clsid, nullptr);
            std::printf(" %s:%d", FirstExtension(encoders[i].FilenameExtension).c_str(), saved);
            failures += saved != Ok;
        }
        std::printf("\n");
        failures += loaded != Ok;
        if (image != nullptr) GdipDisposeImage(image);
    }
    GdiplusShutdown(token);
    return failures == 0 ? 0 : 1;
}

int Compare(const fs::path& a, const fs::path& b) {
    int differing = 0, compared = 0;
    for (const std::string& name : testsupport::FileNamesIn(a)) {
        const fs::path other = b / name;
        ++compared;
        if (fs::exists(other) && testsupport::ReadBytes(a / name) == testsupport::ReadBytes(other))
            continue;
        std::printf("%s differs\n", name.c_str());
        ++differing;
    }
    std::printf("%d files compared, %d differ\n", compared, differing);
    return differing == 0 && compared > 0 ? 0 : 1;
}

int Run(const std::vector<fs::path>& args) {
    const auto is = [&](const char* mode, std::size_t count) {
        return args.size() == count && args[1] == fs::path(mode);
    };
    if (is("samples", 3)) return Samples(args[2]);
    if (is("convert", 4)) return ConvertFolder(args[2], args[3]);
    if (is("compare", 4)) return Compare(args[2], args[3]);
    std::fprintf(stderr, "usage: orv-probe samples DIR | convert SRC OUT | compare A B\n");
    return 2;
}

}  // namespace

#ifdef _WIN32
// The arguments in UTF-16 (linked with -municode): main's come in the ANSI
// code page, which cannot spell every folder name (a Chinese one, say).
extern "C" int wmain(int argc, wchar_t** argv) {
    return Run(std::vector<fs::path>(argv, argv + argc));
}
#else
int main(int argc, char** argv) {
    return Run(std::vector<fs::path>(argv, argv + argc));
}
#endif
