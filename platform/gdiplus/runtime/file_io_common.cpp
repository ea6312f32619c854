// File access that is the same on every system.
#include "file_io_common.h"

#include <algorithm>
#include <chrono>
#include <map>
#include <mutex>

namespace gdip::fileio {

Outcome ReadAll(std::uint64_t size, std::uint64_t maxBytes, const HeadCheck& wanted,
                std::vector<std::uint8_t>& bytes, const RangeReader& readRange) {
    if (size > maxBytes) return Outcome::OutOfMemory;
    bytes.resize(static_cast<std::size_t>(std::min<std::uint64_t>(size, kHeadBytes)));
    if (Outcome o = readRange(0, bytes); o != Outcome::Ok) return o;
    if (wanted && !wanted(bytes)) return Outcome::NotWanted;
    if (bytes.size() < kHeadBytes) return Outcome::Ok;  // the whole file is there
    const std::size_t head = bytes.size();
    bytes.resize(static_cast<std::size_t>(size));
    return readRange(head, bytes);
}

Outcome WriteAndFlush(std::FILE* file, const std::function<bool(std::FILE*)>& write) {
    std::setvbuf(file, nullptr, _IOFBF, std::size_t{1} << 20);
    Outcome outcome = write(file) ? Outcome::Ok : Outcome::WriterFailed;
    if ((std::fflush(file) != 0 || std::ferror(file)) && outcome == Outcome::Ok)
        outcome = Outcome::Failed;
    return outcome;
}

Outcome WriteAndClose(std::FILE* file, const std::function<bool(std::FILE*)>& write) {
    Outcome outcome = WriteAndFlush(file, write);
    if (std::fclose(file) != 0 && outcome == Outcome::Ok) outcome = Outcome::Failed;
    return outcome;
}

bool LeftoverTemporariesDue(const std::string& folderKey) {
    using Clock = std::chrono::steady_clock;
    constexpr auto kEvery = std::chrono::seconds(3);
    static std::mutex lock;
    static std::map<std::string, Clock::time_point> lastLook;
    const Clock::time_point now = Clock::now();
    std::lock_guard guard(lock);
    const auto [at, fresh] = lastLook.try_emplace(folderKey, now);
    if (fresh) return true;
    if (now - at->second < kEvery) return false;
    at->second = now;
    return true;
}

}  // namespace gdip::fileio
