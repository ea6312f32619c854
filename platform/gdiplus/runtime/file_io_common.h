// What the file access of every system shares: reading a file head first,
// and finishing a temporary the writer has filled. Each system's file opens
// and reads the file its own way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "file_io.h"

namespace gdip::fileio {

// Reads bytes [from, bytes.size()) of the open file; the vector ends where
// the file did.
using RangeReader = std::function<Outcome(std::size_t from, std::vector<std::uint8_t>& bytes)>;

// The whole of an open file of the given size: too large for maxBytes is
// refused unread; the head goes to wanted before the rest is read.
Outcome ReadAll(std::uint64_t size, std::uint64_t maxBytes, const HeadCheck& wanted,
                std::vector<std::uint8_t>& bytes, const RangeReader& readRange);

// Hands the open temporary to the writer, buffered, and flushes it to the
// system; a failed flush fails a save the writer thought done.
Outcome WriteAndFlush(std::FILE* file, const std::function<bool(std::FILE*)>& write);
// The same, then closes it; a failed close fails the save too.
Outcome WriteAndClose(std::FILE* file, const std::function<bool(std::FILE*)>& write);

// Whether a save into the folder (by a key that names it) should first
// remove the temporaries there that no save is writing: at the first save
// into it, and then again once a few seconds have passed, so that a folder
// is listed at most that often however many files a run writes into it.
bool LeftoverTemporariesDue(const std::string& folderKey);

}  // namespace gdip::fileio
