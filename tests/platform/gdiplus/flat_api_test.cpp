// The flat API through the loader and the real module, as the program uses
// it: the encoder list, loading, measuring, saving and releasing images.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <string>

#include "gdip_test_files.h"
#include "platform/gdiplus/gdiplus.h"
#include "tests/support/imaging_runtime.h"
#include "tests/support/temp_dir.h"
#include "tests/support/unprivileged.h"

namespace {

namespace fs = std::filesystem;
using gdiptest::Bytes;

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
    fs::path WritePng(const std::string& name, std::uint32_t w = 7, std::uint32_t h = 3) {
        const fs::path p = m_dir.Path() / name;
        gdiptest::WriteBytes(p, testimages::Encode(*gdip::kPngCodec.makeEncoder(),
                                                   testimages::Pattern(w, h, false)));
        return p;
    }

    testsupport::TempDir m_dir;
};

struct PublishedEncoder {
    const char16_t* mime;
    std::uint32_t clsidData1, formatData1;
    const char16_t *name, *description, *extensions;
    std::string signature;
    DWORD sigCount;
};

TEST_F(FlatApi, EncoderListIsOneBlockInThePlatformOrder) {
    const std::vector<PublishedEncoder> expected = {
        {u"image/bmp", 0x557CF400, 0xB96B3CAB, u"Built-in BMP Codec", u"BMP", u"*.BMP;*.DIB;*.RLE",
         "BM", 1},
        {u"image/jpeg", 0x557CF401, 0xB96B3CAE, u"Built-in JPEG Codec", u"JPEG",
         u"*.JPG;*.JPEG;*.JPE;*.JFIF", "\xFF\xD8", 1},
        {u"image/gif", 0x557CF402, 0xB96B3CB0, u"Built-in GIF Codec", u"GIF", u"*.GIF", "GIF89a",
         2},
        {u"image/tiff", 0x557CF405, 0xB96B3CB1, u"Built-in TIFF Codec", u"TIFF", u"*.TIF;*.TIFF",
         std::string("II*\0", 4), 2},
        {u"image/png", 0x557CF406, 0xB96B3CAF, u"Built-in PNG Codec", u"PNG", u"*.PNG",
         "\x89PNG\r\n\x1A\n", 1},
    };
    UINT count = 0;
    const auto block = EncoderBlock(count);
    ASSERT_EQ(count, expected.size());
    const auto* info = reinterpret_cast<const ImageCodecInfo*>(block.data());
    const auto inside = [&](const void* p) {
        const auto* b = static_cast<const std::uint8_t*>(p);
        return b >= block.data() + count * sizeof(ImageCodecInfo) &&
               b < block.data() + block.size();
    };
    const std::uint8_t tail[8] = {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E};
    for (UINT i = 0; i < count; ++i) {
        const PublishedEncoder& e = expected[i];
        SCOPED_TRACE(i);
        EXPECT_EQ(info[i].Clsid.Data1, e.clsidData1);
        EXPECT_EQ(info[i].Clsid.Data2, 0x1A04);
        EXPECT_EQ(info[i].Clsid.Data3, 0x11D3);
        EXPECT_EQ(std::memcmp(info[i].Clsid.Data4, tail, 8), 0);
        EXPECT_EQ(info[i].FormatID.Data1, e.formatData1);
        EXPECT_EQ(info[i].FormatID.Data2, 0x0728);
        for (const void* p : {static_cast<const void*>(info[i].MimeType),
                              static_cast<const void*>(info[i].CodecName),
                              static_cast<const void*>(info[i].SigPattern),
                              static_cast<const void*>(info[i].SigMask)})
            EXPECT_TRUE(inside(p));
        EXPECT_EQ(std::u16string(info[i].MimeType), e.mime);
        EXPECT_EQ(std::u16string(info[i].CodecName), e.name);
        EXPECT_EQ(std::u16string(info[i].FormatDescription), e.description);
        EXPECT_EQ(std::u16string(info[i].FilenameExtension), e.extensions);
        EXPECT_EQ(info[i].Flags, 0x10007u);
        EXPECT_EQ(info[i].Version, 1u);
        EXPECT_EQ(info[i].SigCount, e.sigCount);
        ASSERT_EQ(info[i].SigSize, e.signature.size());
        EXPECT_EQ(std::memcmp(info[i].SigPattern, e.signature.data(), e.signature.size()), 0);
        EXPECT_EQ(info[i].SigMask[0], 0xFF);
    }
}

TEST_F(FlatApi, EncoderListRefusesAWrongCountOrAShortBlock) {
    UINT count = 0, size = 0;
    ASSERT_EQ(GdipGetImageEncodersSize(&count, &size), Ok);
    std::vector<std::uint8_t> block(size);
    auto* info = reinterpret_cast<ImageCodecInfo*>(block.data());
    EXPECT_EQ(GdipGetImageEncoders(count + 1, size, info), InvalidParameter);
    EXPECT_EQ(GdipGetImageEncoders(count, size - 1, info), InsufficientBuffer);
    EXPECT_EQ(GdipGetImageEncoders(count, size, nullptr), InvalidParameter);
    EXPECT_EQ(GdipGetImageEncodersSize(nullptr, &size), InvalidParameter);
}

TEST_F(FlatApi, LoadReportsSizeAndRefusesWhatIsNoPicture) {
    GpImage* image = Load(WritePng("7x3 照片.png"));
    UINT w = 0, h = 0;
    EXPECT_EQ(GdipGetImageWidth(image, &w), Ok);
    EXPECT_EQ(GdipGetImageHeight(image, &h), Ok);
    EXPECT_EQ(w, 7u);
    EXPECT_EQ(h, 3u);
    EXPECT_EQ(GdipGetImageWidth(image, nullptr), InvalidParameter);
    EXPECT_EQ(GdipGetImageHeight(nullptr, &h), InvalidParameter);
    EXPECT_EQ(GdipDisposeImage(image), Ok);
    EXPECT_EQ(GdipDisposeImage(image), InvalidParameter);  // released once only
    EXPECT_EQ(GdipGetImageWidth(image, &w), InvalidParameter);

    Load(m_dir.Path() / "missing.png", FileNotFound);
    Load(m_dir.Write("empty.png", ""), UnknownImageFormat);
    Load(m_dir.Write("notes.png", "just some text"), UnknownImageFormat);
    fs::create_directory(m_dir.Path() / "folder.png");
    Load(m_dir.Path() / "folder.png", AccessDenied);
    ASSERT_EQ(mkfifo((m_dir.Path() / "pipe.png").c_str(), 0600), 0);
    Load(m_dir.Path() / "pipe.png", Win32Error);  // refused at once, not waited on
    GpBitmap* none = nullptr;
    EXPECT_EQ(GdipCreateBitmapFromFile(u"Q:\\nowhere.png", &none), FileNotFound);
    EXPECT_EQ(GdipCreateBitmapFromFile(nullptr, &none), InvalidParameter);
}

TEST_F(FlatApi, SavingOverTheSourceIsRefusedAndTheSourceKept) {
    const fs::path source = WritePng("photo.png");
    fs::create_hard_link(source, m_dir.Path() / "hard.png");
    fs::create_symlink(source, m_dir.Path() / "soft.png");
    const Bytes original = gdiptest::ReadBytes(source);
    GpImage* image = Load(source);
    for (const char* target : {"photo.png", "hard.png", "soft.png"}) {
        SCOPED_TRACE(target);
        EXPECT_EQ(Save(image, m_dir.Path() / target, u"image/bmp"), Win32Error);
        EXPECT_EQ(gdiptest::ReadBytes(source), original);
    }
    // Even when the source is gone, its path stays reserved while the image lives.
    fs::remove(source);
    EXPECT_EQ(Save(image, source, u"image/bmp"), Win32Error);
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
    EXPECT_EQ(gdiptest::ReadBytes(existing), gdiptest::ReadBytes(fresh));
    EXPECT_EQ(GdipDisposeImage(image), Ok);
}

TEST_F(FlatApi, FailedSaveLeavesTheOldFileAndNoTemporary) {
    GpImage* image = Load(WritePng("source.png"));
    const fs::path old = m_dir.Write("out/keep.png", "previous");
    m_dir.Write("plainfile", "x");
    fs::create_directories(m_dir.Path() / "out" / "taken.png" / "inside");
    struct Case {
        const char* name;
        fs::path target;
    };
    const std::vector<Case> cases = {
        {"folder missing", m_dir.Path() / "nowhere" / "a.png"},
        {"parent is a file", m_dir.Path() / "plainfile" / "a.png"},
        {"name too long", m_dir.Path() / "out" / (std::string(300, 'n') + ".png")},
        {"target is a folder", m_dir.Path() / "out" / "taken.png"},
    };
    const auto before = gdiptest::ReadBytes(old);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const GpStatus status = Save(image, c.target);
        EXPECT_TRUE(status == Win32Error || status == AccessDenied) << status;
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(m_dir.Path() / "out"))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, (std::vector<std::string>{"keep.png", "taken.png"}));
        EXPECT_EQ(gdiptest::ReadBytes(old), before);
    }
    EXPECT_FALSE(fs::exists(m_dir.Path() / "nowhere"));
    EXPECT_EQ(GdipDisposeImage(image), Ok);
}

// A save killed on its way (kill -9): a child process saves a picture large
// enough to take a while and is killed as soon as it holds a file open in
// the destination. Nothing new may be left there, and a file that the save
// was to replace keeps its bytes.
TEST_F(FlatApi, ASaveKilledOnItsWayLeavesNoFile) {
    const fs::path source = m_dir.Path() / "big.bmp";
    gdiptest::WriteBytes(source, testimages::Encode(*gdip::kBmpCodec.makeEncoder(),
                                                    testimages::Pattern(3000, 2000, false)));
    GpImage* image = Load(source);
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
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(out)) names.push_back(e.path().filename());
        EXPECT_EQ(names, std::vector<std::string>{"old.PNG"});
        EXPECT_EQ(testsupport::ReadFileBytes(old), "previous");
    }
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
    gdip::Bitmap noise = testimages::Pattern(1200, 900, false);
    std::uint32_t state = 1;
    for (std::size_t i = 0; i < noise.rgba.size(); ++i)
        if (i % 4 != 3)
            noise.rgba[i] = static_cast<std::uint8_t>((state = state * 1664525 + 1013904223) >> 24);
    const fs::path source = m_dir.Path() / "noise.bmp";
    gdiptest::WriteBytes(source, testimages::Encode(*gdip::kBmpCodec.makeEncoder(), noise));
    GpImage* image = Load(source);
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
    EXPECT_EQ(gdiptest::ReadBytes(locked), Bytes({'l', 'o', 'c', 'k', 'e', 'd'}));
    EXPECT_EQ(GdipDisposeImage(image), Ok);
}

TEST_F(FlatApi, SaveRefusesUnknownEncodersAndParameters) {
    GpImage* image = Load(WritePng("source.png"));
    const std::u16string target = testsupport::WinPathOf(m_dir.Path() / "t.png");
    const CLSID unknown{};
    EXPECT_EQ(GdipSaveImageToFile(image, target.c_str(), &unknown, nullptr), InvalidParameter);
    const CLSID png = ClsidOf(u"image/png");
    const auto* params = reinterpret_cast<const EncoderParameters*>(&png);
    EXPECT_EQ(GdipSaveImageToFile(image, target.c_str(), &png, params), NotImplemented);
    EXPECT_EQ(GdipSaveImageToFile(nullptr, target.c_str(), &png, nullptr), InvalidParameter);
    EXPECT_FALSE(fs::exists(m_dir.Path() / "t.png"));
    EXPECT_EQ(GdipDisposeImage(image), Ok);
}

TEST_F(FlatApi, AllocAndFreeWhileStarted) {
    void* p = GdipAlloc(64);
    ASSERT_NE(p, nullptr);
    std::memset(p, 0xAB, 64);
    GdipFree(p);
    GdipFree(nullptr);
}

}  // namespace
