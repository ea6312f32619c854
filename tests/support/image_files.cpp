// Image files for tests: BMP bytes, ImageMagick's conversions, tree checksums.
#include "tests/support/image_files.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <tuple>

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

#include "tests/support/temp_dir.h"

namespace testsupport {

// As runtime_files.h declares it (convert_posix.cpp, convert_windows.cpp).
bool Convert(const std::vector<std::string>& args);

namespace {

void Put16(std::string& out, unsigned v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}

void Put32(std::string& out, std::uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

int ProcessId() {
#ifdef _WIN32
    return _getpid();
#else
    return getpid();
#endif
}

// Folder for convert's inputs and outputs, alive for the whole process and
// removed when it exits: by the process that made it, never by a child
// forked from it that exits.
const TempDir& Scratch() {
    struct Owned {
        const TempDir* dir = new TempDir();
        int owner = ProcessId();
        ~Owned() {
            if (ProcessId() == owner) delete dir;
        }
    };
    static const Owned scratch;
    return *scratch.dir;
}

}  // namespace

std::string MakeBmp(int width, int height, std::uint32_t seed) {
    const int rowBytes = (width * 3 + 3) / 4 * 4;
    const std::uint32_t pixelBytes = static_cast<std::uint32_t>(rowBytes * height);
    std::string out = "BM";
    Put32(out, 54 + pixelBytes);
    Put32(out, 0);
    Put32(out, 54);
    Put32(out, 40);
    Put32(out, static_cast<std::uint32_t>(width));
    Put32(out, static_cast<std::uint32_t>(height));
    Put16(out, 1);
    Put16(out, 24);
    Put32(out, 0);
    Put32(out, pixelBytes);
    Put32(out, 2835);
    Put32(out, 2835);
    Put32(out, 0);
    Put32(out, 0);
    for (int y = 0; y < height; ++y) {
        std::string row;
        for (int x = 0; x < width; ++x) {
            row += static_cast<char>((x * 7 + seed * 31) & 0xFF);        // blue
            row += static_cast<char>((y * 5 + seed * 17) & 0xFF);        // green
            row += static_cast<char>(((x + y) * 3 + seed * 53) & 0xFF);  // red
        }
        row.resize(static_cast<std::size_t>(rowBytes), '\0');
        out += row;
    }
    return out;
}

namespace {

// The usual extension of the kind, lower case with its dot.
std::string ExtensionOf(ImageKind kind) {
    switch (kind) {
        case ImageKind::Png:
            return ".png";
        case ImageKind::Jpeg:
            return ".jpg";
        case ImageKind::Bmp:
            return ".bmp";
        case ImageKind::Gif:
            return ".gif";
        case ImageKind::Tiff:
            return ".tif";
    }
    return "";
}

// FNV-1a of the bytes, as hex.
std::string Checksum(const std::string& bytes) {
    std::uint64_t h = 1469598103934665603ULL;
    for (unsigned char c : bytes) {
        h ^= c;
        h *= 1099511628211ULL;
    }
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(h));
    return text;
}

}  // namespace

std::string MakeImage(ImageKind kind, int width, int height, std::uint32_t seed) {
    if (kind == ImageKind::Bmp) return MakeBmp(width, height, seed);
    using Key = std::tuple<int, int, int, std::uint32_t>;
    static std::map<Key, std::string> cache;
    const Key key{static_cast<int>(kind), width, height, seed};
    if (auto it = cache.find(key); it != cache.end()) return it->second;

    std::string stem = NumberedName("img-", static_cast<int>(kind), "-");
    stem += NumberedName("", width, "x");
    stem += NumberedName("", height, "-");
    stem += std::to_string(seed);
    const std::filesystem::path in = Scratch().Write(stem + ".bmp", MakeBmp(width, height, seed));
    const std::filesystem::path out = Scratch().Path() / (stem + ExtensionOf(kind));
    if (!Convert({in.string(), out.string()}) || !std::filesystem::exists(out)) {
        ADD_FAILURE() << "ImageMagick convert could not make " << out;
        return "";
    }
    std::string bytes = ReadFileBytes(out);
    cache.emplace(key, bytes);
    return bytes;
}

// Built by appending: GCC 12 at -O3 warns falsely (-Wrestrict) about
// "literal" + std::string&&.
std::string NumberedName(const std::string& stem, int n, const std::string& ext) {
    std::string name = stem;
    name += std::to_string(n);
    name += ext;
    return name;
}

std::string SniffFormat(const std::string& b) {
    auto starts = [&](const std::string& magic) { return b.compare(0, magic.size(), magic) == 0; };
    if (starts("\x89PNG\r\n\x1a\n")) return "PNG";
    if (starts("BM")) return "BMP";
    if (starts("\xFF\xD8\xFF")) return "JPEG";
    if (starts("GIF87a") || starts("GIF89a")) return "GIF";
    if (starts(std::string("II*\0", 4)) || starts(std::string("MM\0*", 4))) return "TIFF";
    return "";
}

std::map<std::string, std::string> SnapshotTree(const std::filesystem::path& root) {
    std::map<std::string, std::string> result;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        if (!entry.is_regular_file()) continue;
        result[std::filesystem::relative(entry.path(), root).generic_string()] =
            Checksum(ReadFileBytes(entry.path()));
    }
    return result;
}

std::vector<std::string> FileNamesIn(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    if (!std::filesystem::is_directory(folder)) return names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.is_regular_file()) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> EntryNamesIn(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace testsupport
