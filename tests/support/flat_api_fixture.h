// The flat API through the real module, as the program uses it: a test
// fixture shared by the tests of every system.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/gdiplus/gdiplus.h"
#include "tests/support/imaging_runtime.h"
#include "tests/support/runtime_files.h"
#include "tests/support/temp_dir.h"

namespace testsupport {

namespace fs = std::filesystem;

class FlatApi : public testsupport::ImagingRuntimeTest {
protected:
    // The encoder block as the program fetches it.
    std::vector<std::uint8_t> EncoderBlock(UINT& count) {
        UINT size = 0;
        EXPECT_EQ(GdipGetImageEncodersSize(&count, &size), Ok);
        std::vector<std::uint8_t> block(size);
        EXPECT_EQ(
            GdipGetImageEncoders(count, size, reinterpret_cast<ImageCodecInfo*>(block.data())), Ok);
        return block;
    }
    CLSID ClsidOf(const std::u16string& mime) {
        UINT count = 0;
        auto block = EncoderBlock(count);
        const auto* info = reinterpret_cast<const ImageCodecInfo*>(block.data());
        for (UINT i = 0; i < count; ++i)
            if (info[i].MimeType == mime) return info[i].Clsid;
        ADD_FAILURE() << "no encoder";
        return {};
    }
    GpImage* Load(const fs::path& p, GpStatus expected = Ok) {
        GpBitmap* bitmap = nullptr;
        EXPECT_EQ(GdipCreateBitmapFromFile(testsupport::WinPathOf(p).c_str(), &bitmap), expected);
        if (expected != Ok) {
            EXPECT_EQ(bitmap, nullptr);
        }
        return reinterpret_cast<GpImage*>(bitmap);
    }
    GpStatus Save(GpImage* image, const fs::path& p, const std::u16string& mime = u"image/png") {
        const CLSID clsid = ClsidOf(mime);
        return GdipSaveImageToFile(image, testsupport::WinPathOf(p).c_str(), &clsid, nullptr);
    }
    // A PNG save asked to keep a file that holds the name (keep 1), or not (0).
    GpStatus SaveKeeping(GpImage* image, const fs::path& p, LONG keep = 1) {
        const CLSID png = ClsidOf(u"image/png");
        EncoderParameters params{1,
                                 {{EncoderKeepExisting, 1, EncoderParameterValueTypeLong, &keep}}};
        return GdipSaveImageToFile(image, testsupport::WinPathOf(p).c_str(), &png, &params);
    }
    fs::path WritePng(const std::string& name, std::uint32_t w = 7, std::uint32_t h = 3) {
        const fs::path p = m_dir.Path() / name;
        testsupport::WriteBytes(p, testsupport::Encode(*gdip::kPngCodec.makeEncoder(),
                                                       testsupport::Pattern(w, h, false)));
        return p;
    }

    testsupport::TempDir m_dir;
};

}  // namespace testsupport
