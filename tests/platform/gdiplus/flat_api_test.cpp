// The flat API through the loader and the real module, as the program uses
// it: the encoder list, loading, measuring, saving and releasing images.
// What only one system has is tested in flat_api_posix_test.cpp and
// flat_api_windows_test.cpp.
#include <cstring>
#include <string>

#include "tests/support/flat_api_fixture.h"
#include "tests/support/image_files.h"

namespace {

namespace fs = std::filesystem;
using testsupport::Bytes;
using testsupport::FlatApi;

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
    GpBitmap* none = nullptr;
    EXPECT_EQ(GdipCreateBitmapFromFile(u"Q:\\nowhere.png", &none), FileNotFound);
    EXPECT_EQ(GdipCreateBitmapFromFile(nullptr, &none), InvalidParameter);
}

TEST_F(FlatApi, SavingOverTheSourceIsRefusedAndTheSourceKept) {
    const fs::path source = WritePng("photo.png");
    fs::create_hard_link(source, m_dir.Path() / "hard.png");
    const Bytes original = testsupport::ReadBytes(source);
    GpImage* image = Load(source);
    for (const char* target : {"photo.png", "hard.png"}) {
        SCOPED_TRACE(target);
        EXPECT_EQ(Save(image, m_dir.Path() / target, u"image/bmp"), Win32Error);
        EXPECT_EQ(testsupport::ReadBytes(source), original);
    }
    // Even when the source is gone, its path stays reserved while the image lives.
    fs::remove(source);
    EXPECT_EQ(Save(image, source, u"image/bmp"), Win32Error);
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
    const auto before = testsupport::ReadBytes(old);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const GpStatus status = Save(image, c.target);
        EXPECT_TRUE(status == Win32Error || status == AccessDenied) << status;
        EXPECT_EQ(testsupport::EntryNamesIn(m_dir.Path() / "out"),
                  (std::vector<std::string>{"keep.png", "taken.png"}));
        EXPECT_EQ(testsupport::ReadBytes(old), before);
    }
    EXPECT_FALSE(fs::exists(m_dir.Path() / "nowhere"));
    EXPECT_EQ(GdipDisposeImage(image), Ok);
}

TEST_F(FlatApi, SaveRefusesUnknownEncodersAndParameters) {
    GpImage* image = Load(WritePng("source.png"));
    const std::u16string target = testsupport::WinPathOf(m_dir.Path() / "t.png");
    const CLSID unknown{};
    EXPECT_EQ(GdipSaveImageToFile(image, target.c_str(), &unknown, nullptr), InvalidParameter);
    const CLSID png = ClsidOf(u"image/png");
    // The quality parameter is not offered; our own one takes one LONG.
    LONG value = 90;
    const GUID quality{
        0x1d5be4b5, 0xfa4a, 0x452d, {0x9c, 0xdd, 0x5d, 0xb3, 0x51, 0x05, 0xe7, 0xeb}};
    EncoderParameters params{1, {{quality, 1, EncoderParameterValueTypeLong, &value}}};
    EXPECT_EQ(GdipSaveImageToFile(image, target.c_str(), &png, &params), NotImplemented);
    params.Parameter[0] = {EncoderKeepExisting, 2, EncoderParameterValueTypeLong, &value};
    EXPECT_EQ(GdipSaveImageToFile(image, target.c_str(), &png, &params), InvalidParameter);
    params.Parameter[0] = {EncoderKeepExisting, 1, EncoderParameterValueTypeLong, nullptr};
    EXPECT_EQ(GdipSaveImageToFile(image, target.c_str(), &png, &params), InvalidParameter);
    EXPECT_EQ(GdipSaveImageToFile(nullptr, target.c_str(), &png, nullptr), InvalidParameter);
    EXPECT_FALSE(fs::exists(m_dir.Path() / "t.png"));
    EXPECT_EQ(GdipDisposeImage(image), Ok);
}

// Asked to keep an existing file, a save takes the name only while it is
// free: over a file (or folder) of that name it writes nothing and answers
// ObjectBusy, leaving no temporary behind; a free name is written as usual.
TEST_F(FlatApi, SaveKeepsAFileThatHoldsTheNameWhenAsked) {
    GpImage* image = Load(WritePng("source.png"));
    const fs::path taken = m_dir.Write("out/taken.PNG", "theirs");
    fs::create_directory(m_dir.Path() / "out" / "folder.PNG");
    EXPECT_EQ(SaveKeeping(image, taken), ObjectBusy);
    EXPECT_NE(SaveKeeping(image, m_dir.Path() / "out" / "folder.PNG"), Ok);
    EXPECT_EQ(testsupport::ReadBytes(taken), Bytes({'t', 'h', 'e', 'i', 'r', 's'}));
    EXPECT_EQ(SaveKeeping(image, m_dir.Path() / "out" / "free.PNG"), Ok);
    EXPECT_EQ(testsupport::EntryNamesIn(m_dir.Path() / "out"),
              (std::vector<std::string>{"folder.PNG", "free.PNG", "taken.PNG"}));
    // A LONG of 0 asks for nothing: the save replaces.
    EXPECT_EQ(SaveKeeping(image, taken, 0), Ok);
    EXPECT_EQ(testsupport::ReadBytes(taken),
              testsupport::ReadBytes(m_dir.Path() / "out" / "free.PNG"));
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
