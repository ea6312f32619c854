// The POSIX file access of the runtime, called directly: saves on file
// systems without unnamed temporaries or file modes (FAT sticks, shares), a
// name kept when the save is asked to keep it, and the temporaries that
// killed saves leave.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/gdiplus/runtime/file_io.h"
#include "platform/gdiplus/runtime/file_io_testing.h"
#include "tests/support/image_files.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
namespace fio = gdip::fileio;
using Names = std::vector<std::string>;

// Puts the usual file access back after each test.
class FileIo : public ::testing::Test {
protected:
    ~FileIo() override {
        fio::testing::SetModeCall(nullptr);
        fio::testing::OfferUnnamedTemporaries(true);
    }
    static fio::Outcome Save(const fs::path& p, fio::Existing existing, const std::string& text) {
        return fio::WriteReplacing(
            testsupport::WinPathOf(p), fio::FileIdentity{}, existing, [&text](std::FILE* f) {
                return std::fwrite(text.data(), 1, text.size(), f) == text.size();
            });
    }
    testsupport::TempDir m_dir;
};

// FAT volumes and many shares keep no modes and refuse the call that sets
// one: the save goes on without it, on either way of writing.
TEST_F(FileIo, AModeThatCannotBeSetDoesNotFailTheSave) {
    fio::testing::SetModeCall([](int, unsigned) {
        errno = ENOSYS;
        return -1;
    });
    for (const bool unnamed : {true, false}) {
        SCOPED_TRACE(unnamed ? "unnamed temporary" : "named temporary");
        fio::testing::OfferUnnamedTemporaries(unnamed);
        const std::string tag = unnamed ? "1" : "2";
        const fs::path old = m_dir.Write("old" + tag + ".PNG", "old");
        EXPECT_EQ(Save(old, fio::Existing::Replace, "new"), fio::Outcome::Ok);
        EXPECT_EQ(testsupport::ReadFileBytes(old), "new");
        EXPECT_EQ(Save(m_dir.Path() / ("fresh" + tag + ".PNG"), fio::Existing::Keep, "fresh"),
                  fio::Outcome::Ok);
    }
    EXPECT_EQ(testsupport::EntryNamesIn(m_dir.Path()),
              (Names{"fresh1.PNG", "fresh2.PNG", "old1.PNG", "old2.PNG"}));
}

// The named temporary takes the name only while it is free.
TEST_F(FileIo, TheNamedWayKeepsAFileThatHoldsTheName) {
    fio::testing::OfferUnnamedTemporaries(false);
    const fs::path taken = m_dir.Write("taken.PNG", "theirs");
    EXPECT_EQ(Save(taken, fio::Existing::Keep, "mine"), fio::Outcome::NameTaken);
    EXPECT_EQ(testsupport::ReadFileBytes(taken), "theirs");
    EXPECT_EQ(Save(m_dir.Path() / "free.PNG", fio::Existing::Keep, "mine"), fio::Outcome::Ok);
    EXPECT_EQ(testsupport::EntryNamesIn(m_dir.Path()), (Names{"free.PNG", "taken.PNG"}));
}

// A save into a folder removes the temporaries a killed save left there, and
// nothing else: not one that a save still holds, not other names.
TEST_F(FileIo, ASaveRemovesOnlyTemporariesThatNoSaveHolds) {
    m_dir.Write(".a.PNG.AbCdEf.orvtmp", "left by a killed save");
    const fs::path held = m_dir.Write(".b.PNG.GhIjKl.orvtmp", "still written");
    const int fd = open(held.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(flock(fd, LOCK_EX), 0);
    m_dir.Write(".c.PNG.orvtmp", "");
    m_dir.Write("d.PNG.AbCdEf.orvtmp", "");
    m_dir.Write("sub/.e.PNG.AbCdEf.orvtmp", "");
    EXPECT_EQ(Save(m_dir.Path() / "x.PNG", fio::Existing::Replace, "x"), fio::Outcome::Ok);
    close(fd);
    EXPECT_EQ(
        testsupport::EntryNamesIn(m_dir.Path()),
        (Names{".b.PNG.GhIjKl.orvtmp", ".c.PNG.orvtmp", "d.PNG.AbCdEf.orvtmp", "sub", "x.PNG"}));
    EXPECT_TRUE(fs::exists(m_dir.Path() / "sub" / ".e.PNG.AbCdEf.orvtmp"));
}

// A real FAT volume, mounted through FUSE where the machine allows it: no
// unnamed files, no modes, no hard links and no rename that keeps a name.
TEST_F(FileIo, SavesOnARealFatVolume) {
    if (std::system("command -v fusefat mkfs.fat fusermount >/dev/null 2>&1") != 0 ||
        access("/dev/fuse", R_OK | W_OK) != 0)
        GTEST_SKIP() << "no FUSE FAT driver (fusefat, dosfstools) or no access to /dev/fuse";
    const fs::path image = m_dir.Path() / "fat.img";
    const fs::path mount = m_dir.Path() / "mnt";
    fs::create_directory(mount);
    const std::string quiet = " >/dev/null 2>&1";
    ASSERT_EQ(std::system(("mkfs.fat -C " + image.string() + " 4096" + quiet).c_str()), 0);
    if (std::system(("fusefat -o rw+ " + image.string() + " " + mount.string() + quiet).c_str()) !=
        0)
        GTEST_SKIP() << "the FAT image could not be mounted";
    struct Unmount {
        std::string command;
        ~Unmount() { EXPECT_EQ(std::system(command.c_str()), 0); }
    } unmount{"fusermount -u " + mount.string() + quiet};
    const fs::path old = m_dir.Write("mnt/OLD.PNG", "old");
    const fs::path taken = m_dir.Write("mnt/TAKEN.PNG", "theirs");
    EXPECT_EQ(Save(old, fio::Existing::Replace, "new"), fio::Outcome::Ok);
    EXPECT_EQ(testsupport::ReadFileBytes(old), "new");
    EXPECT_EQ(Save(taken, fio::Existing::Keep, "mine"), fio::Outcome::NameTaken);
    EXPECT_EQ(testsupport::ReadFileBytes(taken), "theirs");
    EXPECT_EQ(Save(mount / "FREE.PNG", fio::Existing::Keep, "mine"), fio::Outcome::Ok);
    EXPECT_EQ(testsupport::ReadFileBytes(mount / "FREE.PNG"), "mine");
    EXPECT_EQ(testsupport::EntryNamesIn(mount), (Names{"FREE.PNG", "OLD.PNG", "TAKEN.PNG"}));
}

}  // namespace
