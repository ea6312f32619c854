// Image files for tests: BMP bytes written directly, the other formats made
// from them with ImageMagick's convert (once per process and kind; the
// runtime tests' Convert, of its own per system), plus checksums and
// listings of folder trees.
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
// stem + n + ext ("img" 3 ".bmp" -> "img3.bmp").
std::string NumberedName(const std::string& stem, int n, const std::string& ext);

// The format a file's first bytes announce: "PNG", "BMP", "JPEG", "GIF",
// "TIFF", or "" for anything else.
std::string SniffFormat(const std::string& bytes);

// relative path (with "/") -> checksum, for every file under root.
std::map<std::string, std::string> SnapshotTree(const std::filesystem::path& root);
// Sorted names of the files directly in a folder.
std::vector<std::string> FileNamesIn(const std::filesystem::path& folder);
// Sorted names of everything directly in a folder: files, folders, links.
std::vector<std::string> EntryNamesIn(const std::filesystem::path& folder);

}  // namespace testsupport
