// Helpers for the codec tests: the test pictures and measures, files made by
// ImageMagick, HEIF files, and decoding with the terminal watched.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/gdiplus/runtime/codec.h"
#include "tests/platform/gdiplus/gdip_test_files.h"

namespace codectest {

// Pictures, their encoding and the measures.
using testimages::Asymmetric;
using testimages::Bytes;
using testimages::Encode;
using testimages::Icon;
using testimages::IconBitmap;
using testimages::IconEntry;
using testimages::MakeBitmap;
using testimages::MaxDifference;
using testimages::Pixel;
using testimages::PixelAt;
using testimages::Psnr;
using testimages::Put16;
using testimages::Put32;
using testimages::SmoothWaves;
using testimages::WebpWithExif;
// Files, ImageMagick and the watched decode are shared with the runtime's
// other tests.
using gdiptest::Convert;
using gdiptest::DecodeWatched;
using gdiptest::HaveConvert;
using gdiptest::ReadBytes;
using gdiptest::WriteBytes;
using gdiptest::WritePam;

}  // namespace codectest
