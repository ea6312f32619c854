// The flat API's file handling where only Windows has the thing tested:
// names that differ only in capitals are one file, the read-only attribute
// holds for every user, and a file open without shared deletion cannot be
// replaced.
#include <fstream>

#include "tests/platform/gdiplus/file_attributes_windows.h"
#include "tests/support/flat_api_fixture.h"
#include "tests/support/image_files.h"

namespace {

namespace fs = std::filesystem;
using testsupport::Bytes;
using testsupport::EntryNamesIn;
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

// A source is known by its volume and file ID, however many files of its
// folder were read just before it: under another name (a hard link) it is
// refused as a target, while a link to another source of the folder is not.
TEST_F(FlatApi, EachSourceOfAFolderIsKnownUnderItsOtherNames) {
    std::vector<GpImage*> images;
    for (const char* name : {"a.png", "b.png", "c.png"}) {
        const fs::path source = WritePng(name);
        fs::create_hard_link(source, m_dir.Path() / ("link-" + std::string(name)));
        images.push_back(Load(source));
    }
    for (std::size_t i = 0; i < images.size(); ++i) {
        for (std::size_t j = 0; j < images.size(); ++j) {
            const std::string link = std::string("link-") + char('a' + j) + ".png";
            SCOPED_TRACE(std::to_string(i) + " over " + link);
            const fs::path target = m_dir.Path() / link;
            const Bytes before = testsupport::ReadBytes(target);
            const GpStatus status = Save(images[i], target, u"image/bmp");
            if (i == j) {
                EXPECT_EQ(status, Win32Error);
                EXPECT_EQ(testsupport::ReadBytes(target), before);
            } else {
                EXPECT_EQ(status, Ok);
                // Replaced by a new file: the source behind the old link is intact.
                EXPECT_EQ(testsupport::ReadBytes(target)[0], 'B');
                fs::remove(target);
                fs::create_hard_link(m_dir.Path() / (std::string(1, char('a' + j)) + ".png"),
                                     target);
            }
        }
    }
    for (GpImage* image : images) EXPECT_EQ(GdipDisposeImage(image), Ok);
}

// Every way a save lands leaves an ordinary file under the target's name
// and nothing else: the temporary is named in place, not copied.
TEST_F(FlatApi, ASavedFileIsAnOrdinaryFileAndNoTemporaryStays) {
    GpImage* image = Load(WritePng("source.png"));
    m_dir.Write("out/old.PNG", "old");
    EXPECT_EQ(Save(image, m_dir.Path() / "out" / "new.PNG"), Ok);
    EXPECT_EQ(Save(image, m_dir.Path() / "out" / "old.PNG"), Ok);
    EXPECT_EQ(SaveKeeping(image, m_dir.Path() / "out" / "kept.PNG"), Ok);
    EXPECT_EQ(EntryNamesIn(m_dir.Path() / "out"),
              (std::vector<std::string>{"kept.PNG", "new.PNG", "old.PNG"}));
    for (const char* name : {"new.PNG", "old.PNG", "kept.PNG"}) {
        SCOPED_TRACE(name);
        const fs::path file = m_dir.Path() / "out" / name;
        EXPECT_TRUE(testsupport::OrdinaryFile(file));
        EXPECT_EQ(testsupport::ReadBytes(file)[1], 'P');
    }
    EXPECT_EQ(GdipDisposeImage(image), Ok);
}

// A file another program holds open without sharing its deletion cannot be
// replaced: the save fails, the file keeps its bytes and the temporary,
// written in full by then, is gone.
TEST_F(FlatApi, AFileHeldWithoutSharedDeletionIsNotReplaced) {
    GpImage* image = Load(WritePng("source.png"));
    const fs::path held = m_dir.Write("out/held.PNG", "theirs");
    {
        std::ifstream reading(held, std::ios::binary);
        ASSERT_TRUE(reading.good());
        const GpStatus status = Save(image, held);
        EXPECT_TRUE(status == Win32Error || status == AccessDenied) << status;
    }
    EXPECT_EQ(testsupport::ReadBytes(held), Bytes({'t', 'h', 'e', 'i', 'r', 's'}));
    EXPECT_EQ(EntryNamesIn(m_dir.Path() / "out"), std::vector<std::string>{"held.PNG"});
    // Once it is closed, the same save replaces it.
    EXPECT_EQ(Save(image, held), Ok);
    EXPECT_EQ(testsupport::ReadBytes(held)[1], 'P');
    EXPECT_EQ(GdipDisposeImage(image), Ok);
}

}  // namespace
