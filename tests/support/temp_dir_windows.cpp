// Test folders on Windows: real paths, handed to the program as they are.
#include <atomic>
#include <cstdio>
#include <random>
#include <stdexcept>

#include "temp_dir.h"

namespace testsupport {

TempDir::TempDir() {
    std::random_device seed;
    std::mt19937 random(seed());
    for (int attempt = 0; attempt < 100; ++attempt) {
        const auto p = std::filesystem::temp_directory_path() /
                       ("orv-test-" + std::to_string(random() % 1000000000u));
        if (std::filesystem::create_directory(p)) {
            m_path = p;
            return;
        }
    }
    throw std::runtime_error("no fresh test folder");
}

std::FILE* ScratchFile() {
    static const TempDir dir;
    static std::atomic<unsigned> next{0};
    const std::filesystem::path p = dir.Path() / ("scratch-" + std::to_string(next++));
    return _wfopen(p.c_str(), L"w+bD");  // D: deleted when closed
}

std::u16string WinPathOf(const std::filesystem::path& p) {
    return p.u16string();
}

}  // namespace testsupport
