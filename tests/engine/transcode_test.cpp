// Tests of the output format table, a run's formats and the encoder lookup.
#include "engine/transcode.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "res/resource.h"
#include "tests/support/imaging_runtime.h"

namespace {

TEST(FormatTable, FixedOrderWithCapitalExtensions) {
    const struct {
        int code;
        int checkbox;
        std::u16string mime;
        std::u16string extension;
    } want[] = {
        {1, 1029, u"image/png", u".PNG"},  {2, 1031, u"image/bmp", u".BMP"},
        {3, 1032, u"image/jpeg", u".JPG"}, {4, 1030, u"image/gif", u".GIF"},
        {5, 1061, u"image/tiff", u".TIF"},
    };
    ASSERT_EQ(kFormatTable.size(), std::size(want));
    for (std::size_t i = 0; i < kFormatTable.size(); ++i) {
        EXPECT_EQ(kFormatTable[i].code, want[i].code) << i;
        EXPECT_EQ(kFormatTable[i].checkboxId, want[i].checkbox) << i;
        EXPECT_EQ(kFormatTable[i].mimeType, want[i].mime) << i;
        EXPECT_EQ(kFormatTable[i].extension, want[i].extension) << i;
    }
}

std::vector<std::u16string> Extensions(const std::set<int>& checked) {
    std::vector<OutputFormat> formats;
    AppendSelectedFormats(formats, IDC_SELECT_ALL, [&](int id) { return checked.count(id) != 0; });
    std::vector<std::u16string> out;
    for (const OutputFormat& f : formats) out.push_back(f.extension);
    return out;
}

TEST(AppendSelectedFormats, CheckboxesPickRowsInTableOrder) {
    using V = std::vector<std::u16string>;
    const V all{u".PNG", u".BMP", u".JPG", u".GIF", u".TIF"};
    EXPECT_EQ(Extensions({IDC_SELECT_ALL, IDC_FORMAT_GIF}), all);
    EXPECT_EQ(Extensions({IDC_SELECT_ALL}), all);  // select-all overrides the boxes
    EXPECT_EQ(Extensions({IDC_FORMAT_TIFF, IDC_FORMAT_BMP}), (V{u".BMP", u".TIF"}));
    EXPECT_EQ(Extensions({IDC_FORMAT_JPEG}), (V{u".JPG"}));
    EXPECT_EQ(Extensions({IDC_FORMAT_GIF, IDC_FORMAT_PNG, IDC_FORMAT_TIFF}),
              (V{u".PNG", u".GIF", u".TIF"}));
    EXPECT_EQ(Extensions({}), V{});
    EXPECT_EQ(Extensions({IDC_FORMAT_PNG, IDC_FORMAT_GIF, IDC_FORMAT_BMP, IDC_FORMAT_JPEG,
                          IDC_FORMAT_TIFF}),
              all);
}

TEST(AppendSelectedFormats, RowsCarryCodeAndMimeType) {
    std::vector<OutputFormat> formats;
    AppendSelectedFormats(formats, IDC_SELECT_ALL, [](int id) { return id == IDC_FORMAT_JPEG; });
    ASSERT_EQ(formats.size(), 1u);
    EXPECT_EQ(formats[0].code, 3);
    EXPECT_EQ(formats[0].mimeType, u"image/jpeg");
}

// The encoder lookup needs the runtime module beside the executable.
class EncoderLookupTest : public testsupport::ImagingRuntimeTest {
protected:
    // Every encoder the runtime publishes, in its order.
    static std::vector<ImageCodecInfo> Encoders(std::vector<char>& storage) {
        UINT count = 0;
        UINT size = 0;
        if (GdipGetImageEncodersSize(&count, &size) != Ok || size == 0) return {};
        storage.resize(size);
        auto* block = reinterpret_cast<ImageCodecInfo*>(storage.data());
        if (GdipGetImageEncoders(count, size, block) != Ok) return {};
        return std::vector<ImageCodecInfo>(block, block + count);
    }
};

CLSID Sentinel() {
    CLSID c;
    std::memset(&c, 0xA5, sizeof c);
    return c;
}

TEST_F(EncoderLookupTest, FindsEachTableTypeAtItsIndex) {
    std::vector<char> storage;
    const std::vector<ImageCodecInfo> encoders = Encoders(storage);
    ASSERT_FALSE(encoders.empty());
    std::set<std::u16string> seen;
    for (const FormatRow& row : kFormatTable) {
        CLSID clsid = Sentinel();
        const int index = FindEncoderClsid(row.mimeType, &clsid);
        ASSERT_GE(index, 0) << static_cast<int>(row.code);
        ASSERT_LT(static_cast<std::size_t>(index), encoders.size());
        EXPECT_EQ(std::u16string(encoders[index].MimeType), row.mimeType);
        EXPECT_TRUE(clsid == encoders[index].Clsid);
        seen.insert(encoders[index].MimeType);
    }
    EXPECT_EQ(seen.size(), 5u);
}

TEST_F(EncoderLookupTest, MimeTypeMustMatchExactly) {
    for (const char16_t* mime : {u"image/PNG", u"Image/png", u"image/jpg", u"image/png ", u"",
                                 u"image/tif", u"image/x-icon"}) {
        CLSID clsid = Sentinel();
        EXPECT_EQ(FindEncoderClsid(mime, &clsid), -1);
        EXPECT_TRUE(clsid == Sentinel()) << "written for a type that did not match";
    }
}

TEST_F(EncoderLookupTest, SelectedRowsGetDistinctEncoders) {
    std::vector<OutputFormat> formats;
    AppendSelectedFormats(formats, IDC_SELECT_ALL, [](int id) { return id == IDC_SELECT_ALL; });
    ASSERT_EQ(formats.size(), 5u);
    for (std::size_t i = 0; i < formats.size(); ++i) {
        CLSID expected{};
        ASSERT_GE(FindEncoderClsid(formats[i].mimeType, &expected), 0);
        EXPECT_TRUE(formats[i].encoder == expected) << i;
        for (std::size_t j = 0; j < i; ++j) EXPECT_FALSE(formats[i].encoder == formats[j].encoder);
    }
}

}  // namespace
