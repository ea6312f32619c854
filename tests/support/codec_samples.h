// What the tests and the fuzzers need of every codec of the runtime's list,
// one row per codec, found by the descriptor's name: small valid files (the
// hostile-input tests cut and corrupt them, the fuzzers start from them), a
// tiny file that declares a picture beyond the pixel budget, the first bytes
// behind which random bytes must fail, and a file of any picture for a format
// the runtime only reads. The tests walk gdip::Codecs() and take each codec's
// row; EveryRegisteredCodecHasItsTestPieces names a codec that has none, and
// what its row lacks.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/gdiplus/runtime/codec.h"
#include "tests/support/runtime_files.h"

namespace testsupport {

struct CodecSample {
    std::string name;
    Bytes file;
    // Bytes after the last row that a reader may do without: the end-of-image
    // marker, end chunk or terminator.
    std::size_t trailer = 0;
};

struct CodecTestPieces {
    std::string_view codec;  // the descriptor's name
    // Small valid files; those that need ImageMagick or a HEIF encoder are
    // left out where the tool is missing.
    std::vector<CodecSample> (*samples)() = nullptr;
    // Declares a picture far beyond the pixel budget; empty where a tool to
    // make it is missing.
    Bytes (*huge)() = nullptr;
    // Starts of files that the sniffer takes, behind which random bytes must
    // fail to decode.
    std::vector<std::string> (*magic)() = nullptr;
    // A file of this picture, for a format the runtime does not write (the
    // encoder makes it otherwise); empty where a tool is missing.
    Bytes (*picture)(const gdip::Bitmap&) = nullptr;
};

// The row of the codec of this name; null when there is none.
const CodecTestPieces* TestPiecesFor(std::string_view codec);

// A file of this picture in the codec's format: its encoder's, or the row's
// maker for a format that is only read; empty when neither can make one.
Bytes FileOf(const gdip::CodecDescriptor& codec, const gdip::Bitmap& picture);

}  // namespace testsupport
