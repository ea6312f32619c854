// Tests of the output format table, a run's formats and the encoder lookup.
#include "engine/transcode.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "engine/naming.h"
#include "res/resource.h"
#include "tests/support/flat_api_fixture.h"
#include "tests/support/image_files.h"

namespace {

// The table's own rules: codes count up from 1 in table order, one checkbox
// per row, extensions a dot and capitals.
TEST(FormatTable, CodesInOrderDistinctBoxesCapitalExtensions) {
    std::set<int> boxes;
    for (std::size_t i = 0; i < kFormatTable.size(); ++i) {
        const FormatRow& row = kFormatTable[i];
        EXPECT_EQ(row.code, static_cast<int>(i) + 1);
        EXPECT_TRUE(boxes.insert(row.checkboxId).second) << row.checkboxId;
        const std::u16string ext = row.extension;
        ASSERT_GE(ext.size(), 2u);
        EXPECT_EQ(ext[0], u'.');
        for (char16_t c : ext.substr(1)) EXPECT_TRUE(c >= u'A' && c <= u'Z') << row.code;
    }
}

// Every combination of ticked boxes picks exactly those rows, in table order;
// select-all picks every row whatever the boxes say.
TEST(AppendSelectedFormats, CheckboxesPickRowsInTableOrder) {
    const std::size_t n = kFormatTable.size();
    for (unsigned mask = 0; mask < (1u << n); ++mask) {
        for (bool selectAll : {false, true}) {
            std::vector<OutputFormat> formats;
            AppendSelectedFormats(formats, IDC_SELECT_ALL, [&](int id) {
                if (id == IDC_SELECT_ALL) return selectAll;
                for (std::size_t i = 0; i < n; ++i)
                    if (kFormatTable[i].checkboxId == id) return (mask >> i & 1u) != 0;
                ADD_FAILURE() << "asked for control " << id;
                return false;
            });
            std::size_t next = 0;
            for (std::size_t i = 0; i < n; ++i) {
                if (!selectAll && (mask >> i & 1u) == 0) continue;
                ASSERT_LT(next, formats.size()) << mask;
                EXPECT_EQ(formats[next].code, kFormatTable[i].code);
                EXPECT_EQ(formats[next].mimeType, kFormatTable[i].mimeType);
                EXPECT_EQ(formats[next].extension, kFormatTable[i].extension);
                ++next;
            }
            EXPECT_EQ(next, formats.size()) << mask;
        }
    }
}

// The encoder lookup needs the runtime module beside the executable.
using EncoderLookupTest = testsupport::FlatApi;

CLSID Sentinel() {
    CLSID c;
    std::memset(&c, 0xA5, sizeof c);
    return c;
}

TEST_F(EncoderLookupTest, FindsEachTableTypeAtItsIndex) {
    UINT count = 0;
    const std::vector<std::uint8_t> block = EncoderBlock(count);
    const auto* encoders = reinterpret_cast<const ImageCodecInfo*>(block.data());
    std::set<std::u16string> seen;
    for (const FormatRow& row : kFormatTable) {
        CLSID clsid = Sentinel();
        const int index = FindEncoderClsid(row.mimeType, &clsid);
        ASSERT_GE(index, 0) << static_cast<int>(row.code);
        ASSERT_LT(static_cast<UINT>(index), count);
        EXPECT_EQ(std::u16string(encoders[index].MimeType), row.mimeType);
        EXPECT_TRUE(clsid == encoders[index].Clsid);
        // The row's extension is one the encoder publishes for its files.
        const std::u16string patterns =
            std::u16string(u";") + encoders[index].FilenameExtension + u";";
        EXPECT_NE(patterns.find(u";*" + std::u16string(row.extension) + u";"), std::u16string::npos)
            << static_cast<int>(row.code);
        seen.insert(encoders[index].MimeType);
    }
    EXPECT_EQ(seen.size(), kFormatTable.size());
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
    ASSERT_EQ(formats.size(), kFormatTable.size());
    for (std::size_t i = 0; i < formats.size(); ++i) {
        CLSID expected{};
        ASSERT_GE(FindEncoderClsid(formats[i].mimeType, &expected), 0);
        EXPECT_TRUE(formats[i].encoder == expected) << i;
        for (std::size_t j = 0; j < i; ++j) EXPECT_FALSE(formats[i].encoder == formats[j].encoder);
    }
}

// Another copy of the program takes the name chosen for an output before the
// file lands: the file takes the next free name, and both files are kept.
TEST_F(EncoderLookupTest, ANameTakenBeforeTheFileLandsSendsItToTheNextName) {
    testsupport::TempDir& dir = m_dir;
    dir.Write("in.bmp", testsupport::MakeBmp(2, 1));
    SourceImage* image = LoadSourceImage(dir.WinPath() + u"in.bmp");
    ASSERT_NE(image, nullptr);
    ASSERT_NE(image->handle, nullptr);
    CLSID png{};
    ASSERT_GE(FindEncoderClsid(u"image/png", &png), 0);
    const std::u16string folder = dir.WinPath();
    OutputNames names(folder, u"photo", u"_ORV_", u".PNG", AffixMode::Prefix);
    std::vector<std::u16string> tried;
    const GpStatus status = SaveUnderFreeName(names, [&](const std::u16string& path) {
        tried.push_back(path);
        if (tried.size() == 1) dir.Write("photo.PNG", "theirs");  // lands first
        return SaveSourceImage(image, path, png, SaveMode::KeepExisting);
    });
    EXPECT_EQ(status, Ok);
    EXPECT_EQ(tried,
              (std::vector<std::u16string>{folder + u"photo.PNG", folder + u"_ORV_photo.PNG"}));
    EXPECT_EQ(testsupport::ReadFileBytes(dir.Path() / "photo.PNG"), "theirs");
    EXPECT_EQ(testsupport::ReadFileBytes(dir.Path() / "_ORV_photo.PNG").substr(1, 3), "PNG");
    // Overwrite still replaces, as it is asked to.
    EXPECT_EQ(SaveSourceImage(image, folder + u"photo.PNG", png, SaveMode::Replace), Ok);
    EXPECT_EQ(testsupport::ReadFileBytes(dir.Path() / "photo.PNG").substr(1, 3), "PNG");
    EXPECT_EQ(testsupport::EntryNamesIn(dir.Path()),
              (std::vector<std::string>{"_ORV_photo.PNG", "in.bmp", "photo.PNG"}));
    DestroySourceImage(image);
}

}  // namespace
