// A fast deflate coder for filtered image rows: literals and runs only.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace gdip {

// Codes `input` as a raw deflate stream whose only matches repeat the byte
// before (distance 1), in blocks each with Huffman codes of its own (or
// stored, where that is shorter). Filtered rows of photographs are mostly
// small differences and runs of them: this codes them as small as a general
// LZ77 search at a fraction of its time, and never refers to bytes before
// `input`. When `last`, the stream ends with its final block; otherwise it
// ends byte-aligned after an empty stored block, as a sync flush leaves it,
// so that another stream can follow it directly.
//
// One coder per thread: its working memory, and the output buffer the
// caller keeps, are reused from call to call, so that coding a segment
// does not map and fault in fresh pages (which, with several threads,
// every core pays for).
class DeflateRunsCoder {
public:
    // The stream is written to the start of `out`, which grows when short
    // and never shrinks; returns the stream's length.
    std::size_t Deflate(std::span<const std::uint8_t> input, bool last,
                        std::vector<std::uint8_t>& out);

private:
    std::vector<std::uint16_t> m_tokens;
};

}  // namespace gdip
