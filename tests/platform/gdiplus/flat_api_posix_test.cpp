// The flat API's file handling where only a POSIX host has the thing tested:
// pipes, symbolic links, file modes, processes killed or limited mid-save,
// and permissions that bite only an unprivileged user.
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <fstream>

#include "platform/gdiplus/runtime/file_io.h"
#include "platform/gdiplus/runtime/file_io_testing.h"
#include "platform/gdiplus/save_temporary.h"
#include "tests/support/flat_api_fixture.h"
#include "tests/support/image_files.h"
#include "tests/support/unprivileged.h"

namespace {

namespace fs = std::filesystem;
using testsupport::Bytes;
using testsupport::FlatApi;

// Writes the picture as a BMP at p; returns p.
fs::path WriteBmp(const fs::path& p, const gdip::Bitmap& picture) {
    testsupport::WriteBytes(p, testsupport::Encode(*gdip::kBmpCodec.makeEncoder(), picture));
    return p;
}

TEST_F(FlatApi, PipeNamedLikeAPictureIsRefusedAtOnce) {
    ASSERT_EQ(mkfifo((m_dir.Path() / "pipe.png").c_str(), 0600), 0);
    Load(m_dir.Path() / "pipe.png", Win32Error);  // refused at once, not waited on
}

// Bytes this process has read from files so far.
std::uint64_t BytesRead() {
    std::ifstream io("/proc/self/io");
    std::string key;
    std::uint64_t value = 0;
    while (io >> key >> value)
        if (key == "rchar:") return value;
    return 0;
}

// A video among the photos is turned down from its head, not read whole into
// memory; a picture larger than the head still reads whole.
TEST_F(FlatApi, LargeFileThatIsNoPictureIsNotReadWhole) {
    std::string video(64 << 20, '\0');
    video.replace(4, 8, "ftypmp42");
    const fs::path movie = m_dir.Write("clip.jpg", video);
    const std::uint64_t before = BytesRead();
    Load(movie, UnknownImageFormat);
    EXPECT_LT(BytesRead() - before, std::uint64_t{1} << 20);

    GpImage* image =
        Load(WriteBmp(m_dir.Path() / "large.bmp", testsupport::Pattern(400, 300, false)));
    UINT w = 0, h = 0;
    EXPECT_EQ(GdipGetImageWidth(image, &w), Ok);
    EXPECT_EQ(GdipGetImageHeight(image, &h), Ok);
    EXPECT_EQ(w * 1000 + h, 400u * 1000 + 300);
    EXPECT_EQ(GdipDisposeImage(image), Ok);
}

TEST_F(FlatApi, SavingOverALinkToTheSourceIsRefused) {
    const fs::path source = WritePng("photo.png");
    fs::create_symlink(source, m_dir.Path() / "soft.png");
    const Bytes original = testsupport::ReadBytes(source);
    GpImage* image = Load(source);
    EXPECT_EQ(Save(image, m_dir.Path() / "soft.png", u"image/bmp"), Win32Error);
    EXPECT_EQ(testsupport::ReadBytes(source), original);
    EXPECT_EQ(GdipDisposeImage(image), Ok);
}

TEST_F(FlatApi, SaveReplacesAFileAndGivesNewFilesTheUsualMode) {
    const fs::path fresh = m_dir.Path() / "fresh.png";
    const mode_t old = umask(027);
    RestartRuntime();  // the mask is read at start-up
    umask(old);
    GpImage* image = Load(WritePng("source.png"));
    ASSERT_EQ(Save(image, fresh), Ok);
    struct stat st {};
    ASSERT_EQ(stat(fresh.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);

    const fs::path existing = m_dir.Write("existing.png", "old content");
    chmod(existing.c_str(), 0604);
    ASSERT_EQ(Save(image, existing), Ok);
    ASSERT_EQ(stat(existing.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0604u);
    EXPECT_EQ(testsupport::ReadBytes(existing), testsupport::ReadBytes(fresh));
    EXPECT_EQ(GdipDisposeImage(image), Ok);
}

// A save killed on its way (kill -9): a child process saves a picture large
// enough to take a while and is killed as soon as it holds a file open in
// the destination. Nothing new may be left there, and a file that the save
// was to replace keeps its bytes; a named temporary, where one is needed,
// lasts only until the next save into the folder.
TEST_F(FlatApi, ASaveKilledOnItsWayLeavesNoFile) {
    GpImage* image =
        Load(WriteBmp(m_dir.Path() / "big.bmp", testsupport::Pattern(3000, 2000, false)));
    ASSERT_NE(image, nullptr);
    const CLSID png = ClsidOf(u"image/png");
    const fs::path out = m_dir.Path() / "out";
    const fs::path old = m_dir.Write("out/old.PNG", "previous");
    for (const char* name : {"new.PNG", "old.PNG"}) {
        SCOPED_TRACE(name);
        const std::u16string target = testsupport::WinPathOf(out / name);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) _exit(GdipSaveImageToFile(image, target.c_str(), &png, nullptr));
        const std::string fds = "/proc/" + std::to_string(child) + "/fd";
        const std::string inside = out.string() + "/";
        bool caught = false;
        int status = 0;
        while (!caught && waitpid(child, &status, WNOHANG) == 0) {
            std::error_code error;
            for (const auto& fd : fs::directory_iterator(fds, error))
                if (fs::read_symlink(fd.path(), error).string().starts_with(inside)) caught = true;
        }
        if (caught) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
        }
        ASSERT_TRUE(caught) << "the save ended before it could be killed";
        EXPECT_TRUE(WIFSIGNALED(status));
        EXPECT_EQ(testsupport::EntryNamesIn(out), std::vector<std::string>{"old.PNG"});
        EXPECT_EQ(testsupport::ReadFileBytes(old), "previous");
    }
    // Where the file system has no unnamed files, a killed save leaves its
    // named temporary (hidden, and passed over by the scan)...
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        gdip::fileio::testing::OfferUnnamedTemporaries(false);
        const std::string block(1 << 12, 'x');
        const auto slow = [&block](std::FILE* f) {
            for (int i = 0; i < 10000; ++i) {
                std::fwrite(block.data(), 1, block.size(), f);
                usleep(1000);
            }
            return false;
        };
        gdip::fileio::WriteReplacing(testsupport::WinPathOf(out / "new.PNG"), {},
                                     gdip::fileio::Existing::Keep, slow);
        _exit(0);
    }
    const auto hasTemporary = [&out] {
        for (const auto& e : fs::directory_iterator(out))
            if (gdip::IsSaveTemporaryName(std::string_view(e.path().filename().native())))
                return true;
        return false;
    };
    for (int i = 0; i < 10000 && !hasTemporary(); ++i) usleep(1000);
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status));
    EXPECT_TRUE(hasTemporary());
    // ...which the next save into the folder removes, no save holding it.
    // Not killed, the same save puts the picture in place and nothing else.
    EXPECT_EQ(Save(image, out / "old.PNG"), Ok);
    EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 1);
    EXPECT_NE(testsupport::ReadFileBytes(old), "previous");
    EXPECT_EQ(GdipDisposeImage(image), Ok);
}

std::size_t ThreadCount() {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& task : fs::directory_iterator("/proc/self/task")) ++n;
    return n;
}

// Writes fail once a file passes the size limit (EFBIG rather than a signal),
// as on a disk that fills up part-way through a save.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) : m_handler(std::signal(SIGXFSZ, SIG_IGN)) {
        getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_handler);
    }

private:
    rlimit m_old{};
    void (*m_handler)(int);
};

TEST_F(FlatApi, SaveFailingPartWayLeavesNoFileAndNoThread) {
    // Noise, so that every output is far larger than the limit.
    gdip::Bitmap noise = testsupport::Pattern(1200, 900, false);
    std::uint32_t state = 1;
    for (std::size_t i = 0; i < noise.rgba.size(); ++i)
        if (i % 4 != 3)
            noise.rgba[i] = static_cast<std::uint8_t>((state = state * 1664525 + 1013904223) >> 24);
    GpImage* image = Load(WriteBmp(m_dir.Path() / "noise.bmp", noise));
    fs::create_directories(m_dir.Path() / "out");
    const std::size_t threads = ThreadCount();
    for (const std::u16string mime : {u"image/png", u"image/gif", u"image/tiff"}) {
        SCOPED_TRACE(std::string(mime.begin(), mime.end()));
        GpStatus status = Ok;
        {
            const FileSizeLimit limit(64 * 1024);
            status = Save(image, m_dir.Path() / "out" / "picture", mime);
        }
        EXPECT_NE(status, Ok);
        EXPECT_TRUE(fs::is_empty(m_dir.Path() / "out"));
        EXPECT_EQ(ThreadCount(), threads);
    }
    GdipDisposeImage(image);
}

TEST_F(FlatApi, ReadOnlyFileIsNotReplaced) {
    GpImage* image = Load(WritePng("source.png"));
    const fs::path locked = m_dir.Write("locked.png", "locked");
    chmod(locked.c_str(), 0444);
    testsupport::OpenToOthers(m_dir.Path(), true);  // only the file is read-only
    {
        testsupport::ScopedUnprivileged user;  // root may write any file
        if (!user.Active()) {
            GdipDisposeImage(image);
            GTEST_SKIP() << user.Reason();
        }
        EXPECT_EQ(Save(image, locked), AccessDenied);
    }
    EXPECT_EQ(testsupport::ReadBytes(locked), Bytes({'l', 'o', 'c', 'k', 'e', 'd'}));
    EXPECT_EQ(GdipDisposeImage(image), Ok);
}

}  // namespace
