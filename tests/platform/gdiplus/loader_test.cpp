// The loader and the module file: nothing works until a real module beside
// the executable is started, and that file is the exact build the program's
// start-up check demands.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>

#include "platform/gdiplus/gdiplus.h"
#include "platform/win32/fileapi.h"
#include "tests/support/runtime_files.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

fs::path ModuleBesideUs() {
    return fs::read_symlink("/proc/self/exe").parent_path() / "gdiplus.dll";
}

// Every call of the API, with harmless arguments.
void ExpectEveryCallRefused() {
    UINT n = 0, size = 0;
    GpBitmap* bitmap = nullptr;
    auto* image = reinterpret_cast<GpImage*>(&n);
    const CLSID clsid{};
    ImageCodecInfo info{};
    EXPECT_EQ(GdipCreateBitmapFromFile(u"Z:\\tmp\\x.png", &bitmap), GdiplusNotInitialized);
    EXPECT_EQ(GdipGetImageWidth(image, &n), GdiplusNotInitialized);
    EXPECT_EQ(GdipGetImageHeight(image, &n), GdiplusNotInitialized);
    EXPECT_EQ(GdipGetImageEncodersSize(&n, &size), GdiplusNotInitialized);
    EXPECT_EQ(GdipGetImageEncoders(1, sizeof info, &info), GdiplusNotInitialized);
    EXPECT_EQ(GdipSaveImageToFile(image, u"Z:\\tmp\\y.png", &clsid, nullptr),
              GdiplusNotInitialized);
    EXPECT_EQ(GdipDisposeImage(image), GdiplusNotInitialized);
    EXPECT_EQ(GdipAlloc(16), nullptr);
    GdipFree(nullptr);
}

GpStatus Start(ULONG_PTR& token, std::uint32_t version = 1) {
    GdiplusStartupInput input{version, nullptr, FALSE, FALSE};
    return GdiplusStartup(&token, &input, nullptr);
}

TEST(Loader, EveryCallFailsBeforeStartAndAfterTheLastShutdown) {
    ExpectEveryCallRefused();
    ULONG_PTR first = 0, second = 0;
    ASSERT_EQ(Start(first), Ok);
    ASSERT_EQ(Start(second), Ok);
    GdiplusShutdown(first);
    UINT n = 0, size = 0;
    EXPECT_EQ(GdipGetImageEncodersSize(&n, &size), Ok);  // one start still stands
    GdiplusShutdown(second);
    ExpectEveryCallRefused();
    GdiplusShutdown(second);  // one shutdown too many changes nothing
    ExpectEveryCallRefused();
}

TEST(Loader, StartRefusesAnotherVersionAndMissingArguments) {
    ULONG_PTR token = 0;
    EXPECT_EQ(Start(token, 2), UnsupportedGdiplusVersion);
    ExpectEveryCallRefused();
    EXPECT_EQ(GdiplusStartup(&token, nullptr, nullptr), InvalidParameter);
    GdiplusStartupInput quiet{1, nullptr, TRUE, FALSE};
    EXPECT_EQ(GdiplusStartup(&token, &quiet, nullptr), InvalidParameter);
    GdiplusStartupOutput output{};
    ASSERT_EQ(GdiplusStartup(&token, &quiet, &output), Ok);
    EXPECT_NE(output.NotificationHook, nullptr);
    EXPECT_NE(output.NotificationUnhook, nullptr);
    GdiplusShutdown(token);
    ExpectEveryCallRefused();
}

// Runs the loader as if the executable stood in another folder.
class ElsewhereTest : public ::testing::Test {
protected:
    void PlaceExecutable() {
        win32::SetModuleFileNameForTesting(m_dir.WinPath() + u"converter.exe");
    }
    void TearDown() override { win32::SetModuleFileNameForTesting(u""); }
    testsupport::TempDir m_dir;
};

TEST_F(ElsewhereTest, NoModuleBesideTheExecutableMeansNothingWorks) {
    PlaceExecutable();
    ULONG_PTR token = 0;
    EXPECT_EQ(Start(token), FileNotFound);
    ExpectEveryCallRefused();
}

TEST_F(ElsewhereTest, AFileThatIsNoModuleOrLacksTheApiIsNotUsed) {
    PlaceExecutable();
    Dl_info zlib{};
    ASSERT_NE(dladdr(reinterpret_cast<void*>(&crc32), &zlib), 0);
    for (const fs::path& impostor : {fs::path(), fs::path(zlib.dli_fname)}) {
        SCOPED_TRACE(impostor.string());
        fs::remove(m_dir.Path() / "gdiplus.dll");
        if (impostor.empty())
            m_dir.Write("gdiplus.dll", std::string(4096, 'x'));
        else
            fs::copy_file(impostor, m_dir.Path() / "gdiplus.dll");
        ULONG_PTR token = 0;
        EXPECT_EQ(Start(token), Win32Error);
        ExpectEveryCallRefused();
    }
}

TEST_F(ElsewhereTest, ACopyOfTheModuleBesideTheExecutableIsUsed) {
    fs::copy_file(ModuleBesideUs(), m_dir.Path() / "gdiplus.dll");
    PlaceExecutable();
    ULONG_PTR token = 0;
    ASSERT_EQ(Start(token), Ok);
    UINT n = 0, size = 0;
    EXPECT_EQ(GdipGetImageEncodersSize(&n, &size), Ok);
    EXPECT_EQ(n, 5u);
    GdiplusShutdown(token);
}

// The zero bytes that pad the module lie past everything the loader maps;
// the module loads and shows nothing but the flat API. (Its size and product
// version are the start-up check's, whose test takes this very file.)
TEST(ModuleFile, PaddedModuleLoadsAndExportsOnlyTheFlatApi) {
    const fs::path module = ModuleBesideUs();
    const testsupport::Bytes bytes = testsupport::ReadBytes(module);
    ASSERT_GT(bytes.size(), 4096u);
    EXPECT_TRUE(
        std::all_of(bytes.end() - 4096, bytes.end(), [](std::uint8_t b) { return b == 0; }));
    void* handle = dlopen(module.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr) << dlerror();
    for (const char* name :
         {"GdiplusStartup", "GdiplusShutdown", "GdipCreateBitmapFromFile", "GdipGetImageWidth",
          "GdipGetImageHeight", "GdipGetImageEncodersSize", "GdipGetImageEncoders",
          "GdipSaveImageToFile", "GdipDisposeImage", "GdipAlloc", "GdipFree"})
        EXPECT_NE(dlsym(handle, name), nullptr) << name;
    for (const char* hidden :
         {"_ZN4gdip9kPngCodecE", "_ZN4gdip6fileio7PrepareEv", "_ZN4gdip16PixelBudgetBytesEv",
          "_ZN5win3210ToHostPathESt17basic_string_viewIDsSt11char_traitsIDsEE"})
        EXPECT_EQ(dlsym(handle, hidden), nullptr) << hidden;
    dlclose(handle);
}

}  // namespace
