// Reading the block structure of a raw deflate stream without inflating it:
// where its last block begins and where it ends. This is what it takes to
// join streams compressed apart (each of which ends with a final block) into
// one: clear the final flag of each but the last and byte-align between
// them with an empty stored block, as a sync flush would.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace gdip {

struct DeflateShape {
    std::uint64_t lastBlockBit = 0;  // bit offset of the final block's header
    std::uint64_t endBit = 0;        // bit offset just past its end code
};

// False when the stream is damaged or ends before its final block does.
bool WalkDeflate(std::span<const std::uint8_t> stream, DeflateShape& shape);

// Turns a whole raw deflate stream into one that continues: its final flag
// cleared, then an empty stored block, so that the next stream can follow
// byte for byte. False when the stream cannot be walked.
bool MakeContinuable(std::vector<std::uint8_t>& stream);

}  // namespace gdip
