// libtiff client procedures: reading a file held in memory and writing to a
// stdio stream, with every message of the library kept off the terminal.
#pragma once

#include <sys/types.h>
#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <span>

namespace gdip::tiffio {

struct MemoryFile {
    std::span<const std::uint8_t> bytes;
    toff_t pos = 0;
};

inline int Quiet(TIFF*, void*, const char*, const char*, va_list) {
    return 1;
}

inline tmsize_t MemRead(thandle_t h, void* dst, tmsize_t n) {
    auto* f = static_cast<MemoryFile*>(h);
    if (n <= 0 || f->pos >= f->bytes.size()) return 0;
    const auto count = std::min<toff_t>(static_cast<toff_t>(n), f->bytes.size() - f->pos);
    std::memcpy(dst, f->bytes.data() + f->pos, count);
    f->pos += count;
    return static_cast<tmsize_t>(count);
}
inline tmsize_t NoWrite(thandle_t, void*, tmsize_t) {
    return 0;
}
inline toff_t MemSeek(thandle_t h, toff_t off, int whence) {
    auto* f = static_cast<MemoryFile*>(h);
    toff_t base = whence == SEEK_CUR ? f->pos : whence == SEEK_END ? f->bytes.size() : 0;
    if (off > ~toff_t{0} - base) return static_cast<toff_t>(-1);
    f->pos = base + off;
    return f->pos;
}
inline int NoClose(thandle_t) {
    return 0;
}
inline toff_t MemSize(thandle_t h) {
    return static_cast<MemoryFile*>(h)->bytes.size();
}
// The bytes are already in memory: libtiff reads them in place.
inline int MemMap(thandle_t h, void** base, toff_t* size) {
    auto* f = static_cast<MemoryFile*>(h);
    *base = const_cast<std::uint8_t*>(f->bytes.data());
    *size = f->bytes.size();
    return 1;
}
inline void NoUnmap(thandle_t, void*, toff_t) {}

inline tmsize_t FileRead(thandle_t h, void* dst, tmsize_t n) {
    return static_cast<tmsize_t>(
        std::fread(dst, 1, static_cast<std::size_t>(n), static_cast<std::FILE*>(h)));
}
inline tmsize_t FileWrite(thandle_t h, void* src, tmsize_t n) {
    return static_cast<tmsize_t>(
        std::fwrite(src, 1, static_cast<std::size_t>(n), static_cast<std::FILE*>(h)));
}
inline toff_t FileSeek(thandle_t h, toff_t off, int whence) {
    auto* f = static_cast<std::FILE*>(h);
    if (fseeko(f, static_cast<off_t>(off), whence) != 0) return static_cast<toff_t>(-1);
    return static_cast<toff_t>(ftello(f));
}
inline toff_t FileSize(thandle_t h) {
    auto* f = static_cast<std::FILE*>(h);
    const off_t here = ftello(f);
    fseeko(f, 0, SEEK_END);
    const off_t end = ftello(f);
    fseeko(f, here, SEEK_SET);
    return static_cast<toff_t>(end);
}
inline int NoMap(thandle_t, void**, toff_t*) {
    return 0;
}

// Options that keep libtiff silent and bound its single allocations.
struct Options {
    explicit Options(tmsize_t maxAlloc) : opts(TIFFOpenOptionsAlloc()) {
        TIFFOpenOptionsSetErrorHandlerExtR(opts, Quiet, nullptr);
        TIFFOpenOptionsSetWarningHandlerExtR(opts, Quiet, nullptr);
        if (maxAlloc > 0) TIFFOpenOptionsSetMaxSingleMemAlloc(opts, maxAlloc);
    }
    ~Options() { TIFFOpenOptionsFree(opts); }
    Options(const Options&) = delete;
    Options& operator=(const Options&) = delete;
    TIFFOpenOptions* opts;
};

// Messages raised where libtiff has no handle yet go to the process-wide
// handlers; there are none in this program, so they are silenced once.
inline void SilenceGlobalHandlers() {
    static const bool once = [] {
        TIFFSetErrorHandler(nullptr);
        TIFFSetWarningHandler(nullptr);
        return true;
    }();
    (void)once;
}

inline TIFF* OpenMemory(MemoryFile& file, tmsize_t maxAlloc) {
    SilenceGlobalHandlers();
    Options o(maxAlloc);
    return TIFFClientOpenExt("memory", "r", &file, MemRead, NoWrite, MemSeek, NoClose, MemSize,
                             MemMap, NoUnmap, o.opts);
}

inline TIFF* OpenStream(std::FILE* out, bool bigEndian = false) {
    SilenceGlobalHandlers();
    Options o(0);
    return TIFFClientOpenExt("stream", bigEndian ? "wb" : "w", out, FileRead, FileWrite, FileSeek,
                             NoClose, FileSize, NoMap, NoUnmap, o.opts);
}

}  // namespace gdip::tiffio
