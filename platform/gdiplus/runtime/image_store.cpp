// Loading and saving whole files for the flat API. The file access itself is
// the system's (file_io_*.cpp); here the outcomes become statuses.
#include "image_store.h"

#include <mutex>
#include <unordered_set>

namespace gdip {

namespace {

GpStatus StatusOf(fileio::Outcome outcome) {
    switch (outcome) {
        case fileio::Outcome::Ok:
            return Ok;
        case fileio::Outcome::NotFound:
            return FileNotFound;
        case fileio::Outcome::AccessDenied:
            return AccessDenied;
        case fileio::Outcome::OutOfMemory:
            return OutOfMemory;
        case fileio::Outcome::NotWanted:
            return UnknownImageFormat;
        case fileio::Outcome::NameTaken:
            return ObjectBusy;
        case fileio::Outcome::IsSource:
        case fileio::Outcome::WriterFailed:
        case fileio::Outcome::Failed:
            break;
    }
    return Win32Error;
}

// A file can be far larger than its first picture, but not beyond reason:
// nothing that the budget admits needs more than twice the pixel bytes.
std::uint64_t MaxFileBytes() {
    return 2 * PixelBudgetBytes();
}

std::mutex g_liveLock;
std::unordered_set<const GpImage*> g_live;

}  // namespace

GpStatus LoadImageFile(std::u16string_view winPath, std::unique_ptr<GpBitmap>& image) {
    std::vector<std::uint8_t> bytes;
    fileio::FileIdentity identity;
    // The head chooses the decoder; a file that no decoder knows by its head
    // is not read whole.
    const Decoder* decoder = nullptr;
    const auto known = [&decoder](std::span<const std::uint8_t> head) {
        decoder = DecoderFor(head);
        return decoder != nullptr;
    };
    if (GpStatus s =
            StatusOf(fileio::ReadWholeFile(winPath, MaxFileBytes(), known, bytes, identity));
        s != Ok)
        return s;
    auto loaded = std::make_unique<GpBitmap>();
    if (GpStatus s = decoder->DecodeLent(bytes, loaded->bitmap); s != Ok) return s;
    if (loaded->bitmap.width == 0 || loaded->bitmap.height == 0) return GenericError;
    loaded->source = std::move(identity);
    image = std::move(loaded);
    return Ok;
}

GpStatus SaveImageFile(const GpImage& image, std::u16string_view winPath, const Encoder& encoder,
                       fileio::Existing existing) {
    GpStatus encoded = Ok;
    const fileio::Outcome outcome =
        fileio::WriteReplacing(winPath, image.source, existing, [&](std::FILE* f) {
            encoded = encoder.Encode(image.bitmap, f);
            return encoded == Ok;
        });
    return outcome == fileio::Outcome::WriterFailed ? encoded : StatusOf(outcome);
}

void RegisterImage(GpImage* image) {
    std::lock_guard lock(g_liveLock);
    g_live.insert(image);
}

bool IsLiveImage(const GpImage* image) {
    std::lock_guard lock(g_liveLock);
    return g_live.count(image) != 0;
}

bool UnregisterImage(const GpImage* image) {
    std::lock_guard lock(g_liveLock);
    return g_live.erase(image) != 0;
}

}  // namespace gdip
