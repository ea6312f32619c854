// The module's file access, one implementation per system (file_io_posix.cpp,
// file_io_windows.cpp, chosen by the build) over what they share
// (file_io_common.cpp). Kept free of the flat API's
// Windows-like types so that the Windows implementation can include the real
// system headers.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace gdip::fileio {

enum class Outcome {
    Ok,
    NotFound,      // no such file or folder, or a name the system cannot hold
    AccessDenied,  // refused by permissions, a read-only file, or a folder
    OutOfMemory,   // larger than anything the pixel budget admits
    IsSource,      // the target is the file the image was read from
    WriterFailed,  // the writer reported a failure of its own
    NotWanted,     // the reader turned the file down from its first bytes
    NameTaken,     // another file holds the name and the save was to keep it
    Failed,        // anything else the system refused
};

// What a save does to a file that already has the target's name.
enum class Existing { Replace, Keep };

// Which file an image was read from: the system's identity of the file (so
// that another name for the same file is recognised) and its resolved path
// (so that the name stays reserved even when the file is gone).
struct FileIdentity {
    std::uint64_t volume = 0;
    std::uint64_t fileHigh = 0;
    std::uint64_t fileLow = 0;
    std::string resolvedPath;
};

// Called once at start-up (the POSIX side reads the file-creation mask).
void Prepare();

// The first bytes of a file that a reader is shown before the rest is read.
inline constexpr std::size_t kHeadBytes = 64 * 1024;
using HeadCheck = std::function<bool(std::span<const std::uint8_t>)>;

// Reads a whole regular file named in the program's path form; refuses
// folders, devices and pipes at once and files larger than maxBytes. The
// first kHeadBytes (or the whole smaller file) go to wanted first; when it
// answers false, nothing more is read (a video among the photos costs its
// head, not its size in memory and time).
Outcome ReadWholeFile(std::u16string_view path, std::uint64_t maxBytes, const HeadCheck& wanted,
                      std::vector<std::uint8_t>& bytes, FileIdentity& identity);

// Writes a file as a temporary in the target's folder (an unnamed file where
// the system offers one, else a name that save_temporary.h describes)
// and then puts it under the target's name in one step, so that a failed or
// interrupted save leaves the old file as it was and no temporary behind.
// With Existing::Replace that step replaces a file of that name; with
// Existing::Keep it gives the name only while it is free and otherwise
// leaves the temporary unnamed and returns NameTaken. write gets the open
// temporary and returns false when it failed. A save over the source file
// (by identity or by resolved name) and over a read-only file is refused.
// The first save into a folder, and again every few seconds, removes the
// temporaries there that no save is writing (left by a save that was killed).
Outcome WriteReplacing(std::u16string_view path, const FileIdentity& source, Existing existing,
                       const std::function<bool(std::FILE*)>& write);

}  // namespace gdip::fileio
