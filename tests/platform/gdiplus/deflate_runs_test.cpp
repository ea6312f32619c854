// The runs coder: every stream inflates to its input through zlib, alone and
// continued by another, whatever the data asks of its codes and blocks.
#include "platform/gdiplus/runtime/deflate_runs.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

// zlib's inflate of a raw stream that must end exactly where its data does.
Bytes InflateRawStream(const Bytes& stream, std::size_t expected) {
    Bytes out(expected + 1);
    z_stream z{};
    EXPECT_EQ(inflateInit2(&z, -15), Z_OK);
    z.next_in = const_cast<Bytef*>(stream.data());
    z.avail_in = static_cast<uInt>(stream.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    const int status = inflate(&z, Z_FINISH);
    EXPECT_EQ(status, Z_STREAM_END) << (z.msg != nullptr ? z.msg : "");
    EXPECT_EQ(z.avail_in, 0u);
    out.resize(z.total_out);
    inflateEnd(&z);
    return out;
}

struct RunsCase {
    std::string name;
    Bytes data;
};

std::vector<RunsCase> RunsCases() {
    std::mt19937 random(7);
    std::vector<RunsCase> cases = {{"empty", {}}, {"one byte", {42}}};
    // Runs just under, at and over the shortest match, and a match's
    // longest length and one past it.
    Bytes runs;
    for (const std::size_t n : {1, 4, 5, 6, 257, 258, 259, 516, 517})
        runs.insert(runs.end(), n, static_cast<std::uint8_t>(n));
    cases.push_back({"runs at the length limits", runs});
    // Bytes with no structure: stored blocks, more than one.
    Bytes noise(200000);
    for (std::uint8_t& b : noise) b = static_cast<std::uint8_t>(random());
    cases.push_back({"noise", noise});
    // Small differences with runs among them, as filtered photographs are,
    // over several blocks.
    Bytes rows(300000);
    for (std::uint8_t& b : rows)
        b = random() % 4 == 0 ? 0 : static_cast<std::uint8_t>(random() % 5 - 2);
    cases.push_back({"small differences", rows});
    cases.push_back({"one long run", Bytes(150000, 0)});
    // Symbol counts in the Fibonacci series from 2 (so that the end of
    // block's single count keeps the tree one chain), and no byte equal to
    // the one before (the most frequent first, filling every other place,
    // then the places between): an unlimited Huffman code would be 20 bits
    // deep, past deflate's 15.
    Bytes sorted;
    for (std::size_t k = 0, a = 2, b = 3; k < 20; ++k, b = a + b, a = b - a)
        sorted.insert(sorted.begin(), a, static_cast<std::uint8_t>(k * 7));
    Bytes skewed(sorted.size());
    for (std::size_t i = 0, half = (sorted.size() + 1) / 2; i < sorted.size(); ++i)
        skewed[i < half ? 2 * i : 2 * (i - half) + 1] = sorted[i];
    cases.push_back({"Fibonacci counts", skewed});
    return cases;
}

TEST(DeflateRuns, StreamsInflateAloneAndContinued) {
    const Bytes tail = {1, 2, 3, 3, 3, 3, 3, 3, 3, 4};
    gdip::DeflateRunsCoder coder;  // one coder and buffer for every case, as a thread keeps them
    Bytes buffer;
    const auto deflate = [&](const Bytes& data, bool last) {
        return Bytes(buffer.begin(), buffer.begin() + coder.Deflate(data, last, buffer));
    };
    for (const RunsCase& c : RunsCases()) {
        SCOPED_TRACE(c.name);
        const Bytes alone = deflate(c.data, true);
        EXPECT_EQ(InflateRawStream(alone, c.data.size()), c.data);
        EXPECT_LE(alone.size(), c.data.size() + c.data.size() / 1000 + 16);  // never much more

        // Continued byte for byte by another stream.
        Bytes joined = deflate(c.data, false);
        const Bytes next = deflate(tail, true);
        joined.insert(joined.end(), next.begin(), next.end());
        Bytes expected = c.data;
        expected.insert(expected.end(), tail.begin(), tail.end());
        EXPECT_EQ(InflateRawStream(joined, expected.size()), expected);
    }
}

}  // namespace
