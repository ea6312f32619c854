// The encoders that the module publishes, in the order the platform lists
// them, with their class identifiers and descriptions.
#pragma once

#include <memory>

#include "codec.h"

namespace gdip {

// What GdipGetImageEncodersSize reports: the number of encoders and the size
// of the one block that holds their descriptions and every string and
// signature they point to.
void EncoderListSize(UINT& count, UINT& bytes);
// Fills that block; InvalidParameter when count is not the number of
// encoders, InsufficientBuffer when bytes is too small.
GpStatus WriteEncoderList(UINT count, UINT bytes, ImageCodecInfo* block);

// The encoder published under a class identifier. InvalidParameter for an
// identifier that is not one of ours, NotImplemented when the format's
// encoder is not part of this build.
GpStatus EncoderFor(const CLSID& clsid, std::unique_ptr<Encoder>& encoder);

}  // namespace gdip
