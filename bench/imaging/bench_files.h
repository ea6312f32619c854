// What the codec benchmarks share: the process's processor time, a file read
// whole, and an encoder's output with the processor time it took.
#pragma once

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/gdiplus/runtime/codec.h"

namespace bench {

using Bytes = std::vector<std::uint8_t>;

// Every thread's processor time, which the machine's other work skews less
// than the wall clock.
inline double CpuNow() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

inline bool ReadFile(const std::string& path, Bytes& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

// The bytes an encoder writes (none when it fails), its processor time added
// to `seconds`.
inline Bytes Encode(const gdip::Encoder& encoder, const gdip::Bitmap& image, double& seconds) {
    std::FILE* f = std::tmpfile();
    if (f == nullptr) return {};
    const double start = CpuNow();
    const GpStatus status = encoder.Encode(image, f);
    seconds += CpuNow() - start;
    Bytes bytes;
    if (status == Ok) {
        std::fseek(f, 0, SEEK_END);
        bytes.resize(static_cast<std::size_t>(std::ftell(f)));
        std::rewind(f);
        if (std::fread(bytes.data(), 1, bytes.size(), f) != bytes.size()) bytes.clear();
    }
    std::fclose(f);
    return bytes;
}

}  // namespace bench
