// Image files for tests: BMP bytes written directly, the other formats made
// from them with ImageMagick's convert (once per process and kind), plus
// checksums and listings of folder trees.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace testsupport {

enum class ImageKind { Png, Jpeg, Bmp, Gif, Tiff };

// A 24-bit bottom-up BMP of w x h pixels with a pattern chosen by seed.
std::string MakeBmp(int width, int height, std::uint32_t seed = 0);
// An image of the kind; fails the calling test (and returns "") when convert
// does not work.
std::string MakeImage(ImageKind kind, int width, int height, std::uint32_t seed = 0);
// ImageMagick's convert from one file to another, the format taken from the
// extension (a file of its own per system).
bool ConvertImageFile(const std::filesystem::path& in, const std::filesystem::path& out);

// The usual extension of the kind, lower case with its dot (".png").
std::string ExtensionOf(ImageKind kind);

// stem + n + ext ("img" 3 ".bmp" -> "img3.bmp").
std::string NumberedName(const std::string& stem, int n, const std::string& ext);

// The format a file's first bytes announce: "PNG", "BMP", "JPEG", "GIF",
// "TIFF", or "" for anything else.
std::string SniffFormat(const std::string& bytes);

// FNV-1a of the bytes, as hex.
std::string Checksum(const std::string& bytes);
// relative path (with "/") -> checksum, for every file under root.
std::map<std::string, std::string> SnapshotTree(const std::filesystem::path& root);
// Sorted names of the files directly in a folder.
std::vector<std::string> FileNamesIn(const std::filesystem::path& folder);
// Sorted names of everything directly in a folder: files, folders, links.
std::vector<std::string> EntryNamesIn(const std::filesystem::path& folder);

}  // namespace testsupport
