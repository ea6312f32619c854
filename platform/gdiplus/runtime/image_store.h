// Images held by the module: decoded pixels plus the identity of the file
// they came from, which a save must never overwrite.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "codec.h"
#include "file_io.h"

struct GpImage {
    gdip::Bitmap bitmap;
    gdip::fileio::FileIdentity source;
};

// Every image the module creates is a bitmap, at the same address as its
// GpImage part, so the program may pass either pointer.
struct GpBitmap : GpImage {};

namespace gdip {

// Reads a whole file (the path in the program's drive form), picks the
// decoder by content and decodes. The file is closed before this returns.
GpStatus LoadImageFile(std::u16string_view winPath, std::unique_ptr<GpBitmap>& image);

// Writes the image with the encoder into an unnamed file in the target's
// folder and names it only when it is whole (a named temporary, renamed into
// place, where the file system has no unnamed files): a failed or killed save
// leaves no partial file and keeps whatever the target held. The image's own
// source is refused. With Existing::Keep a file that holds the name when
// the new one would take it stays, and the save is ObjectBusy.
GpStatus SaveImageFile(const GpImage& image, std::u16string_view winPath, const Encoder& encoder,
                       fileio::Existing existing);

// Handles given to the program, so that a stale or foreign pointer is
// refused rather than followed.
void RegisterImage(GpImage* image);  // may throw std::bad_alloc
bool IsLiveImage(const GpImage* image);
bool UnregisterImage(const GpImage* image);

}  // namespace gdip
