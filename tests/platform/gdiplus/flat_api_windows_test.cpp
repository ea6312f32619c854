// The flat API's file handling where only Windows has the thing tested:
// names that differ only in capitals are one file, and the read-only
// attribute holds for every user.
#include <fstream>

#include "tests/support/flat_api_fixture.h"
#include "tests/support/image_files.h"

namespace {

namespace fs = std::filesystem;
using testsupport::Bytes;
using testsupport::FlatApi;

TEST_F(FlatApi, SavingOverTheSourceSpelledInOtherCapitalsIsRefused) {
    const fs::path source = WritePng("photo.png");
    const Bytes original = testsupport::ReadBytes(source);
    GpImage* image = Load(source);
    EXPECT_EQ(Save(image, m_dir.Path() / "PHOTO.PNG", u"image/bmp"), Win32Error);
    EXPECT_EQ(testsupport::ReadBytes(source), original);
    // Another file in the same folder is replaced as usual.
    m_dir.Write("other.png", "old");
    EXPECT_EQ(Save(image, m_dir.Path() / "OTHER.PNG", u"image/bmp"), Ok);
    EXPECT_EQ(testsupport::ReadBytes(m_dir.Path() / "other.png")[0], 'B');
    EXPECT_EQ(GdipDisposeImage(image), Ok);
}

TEST_F(FlatApi, ReadOnlyFileIsNotReplaced) {
    GpImage* image = Load(WritePng("source.png"));
    const fs::path locked = m_dir.Write("locked.png", "locked");
    fs::permissions(locked, fs::perms::owner_read);  // the read-only attribute
    EXPECT_EQ(Save(image, locked), AccessDenied);
    EXPECT_EQ(testsupport::ReadBytes(locked), Bytes({'l', 'o', 'c', 'k', 'e', 'd'}));
    EXPECT_EQ(GdipDisposeImage(image), Ok);
}

// A save into a folder removes the temporaries that killed saves left there,
// but not one that is still open for writing (its handle shares no
// deletion, as a save's own does), nor other names.
TEST_F(FlatApi, ASaveRemovesTemporariesThatNoSaveHolds) {
    GpImage* image = Load(WritePng("source.png"));
    m_dir.Write("out/.a.PNG.AbCdEf.orvtmp", "left by a killed save");
    const fs::path held = m_dir.Write("out/.b.PNG.GhIjKl.orvtmp", "");
    m_dir.Write("out/.c.PNG.orvtmp", "");
    {
        std::ofstream writing(held, std::ios::binary);
        writing << "still written";
        EXPECT_EQ(Save(image, m_dir.Path() / "out" / "x.PNG"), Ok);
    }
    EXPECT_EQ(testsupport::FileNamesIn(m_dir.Path() / "out"),
              (std::vector<std::string>{".b.PNG.GhIjKl.orvtmp", ".c.PNG.orvtmp", "x.PNG"}));
    EXPECT_EQ(GdipDisposeImage(image), Ok);
}

}  // namespace
