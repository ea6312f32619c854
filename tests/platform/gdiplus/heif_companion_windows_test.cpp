// The HEIF companion DLL beside the module (Windows only): loaded only when a
// HEIF or AVIF file is met, and without it, or with one that cannot be used,
// HEIF and AVIF files are an unknown format while every other file converts
// exactly as with it. Each layout runs the output probe in a folder of its
// own, as a user's copy of the program would be laid out.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>

#include "host_program_windows.h"
#include "platform/gdiplus/runtime/heif_companion_abi.h"
#include "tests/support/heif_files.h"
#include "tests/support/imaging_runtime.h"
#include "tests/support/runtime_files.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using namespace testsupport;

// The probe's line per file: "name: status N, ..." -> name to N.
std::map<std::string, int> Statuses(const fs::path& log) {
    std::map<std::string, int> out;
    std::ifstream in(log);
    std::string line;
    while (std::getline(in, line)) {
        const std::size_t colon = line.find(": status ");
        if (colon != std::string::npos)
            out[line.substr(0, colon)] = std::stoi(line.substr(colon + 9));
    }
    return out;
}

std::uint32_t Le32At(const Bytes& b, std::size_t at) {
    return at + 4 > b.size() ? 0
                             : std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 |
                                   std::uint32_t(b[at + 2]) << 16 | std::uint32_t(b[at + 3]) << 24;
}

// The companion as a build of another interface revision would be: its
// orv_heif_abi, "mov eax, <revision>; ret", made to return the next
// revision. Empty when the export is not found as expected.
Bytes OfAnotherRevision(Bytes dll) {
    const std::size_t pe = Le32At(dll, 0x3C), sections = pe + 24 + (Le32At(dll, pe + 20) & 0xFFFF);
    const std::size_t count = Le32At(dll, pe + 6) & 0xFFFF;
    const auto offsetOf = [&](std::uint32_t rva) -> std::size_t {
        for (std::size_t i = 0; i < count; ++i) {
            const std::size_t h = sections + i * 40;
            const std::uint32_t start = Le32At(dll, h + 12), size = Le32At(dll, h + 8);
            if (rva >= start && rva < start + size) return rva - start + Le32At(dll, h + 20);
        }
        return 0;
    };
    const std::size_t exports = offsetOf(Le32At(dll, pe + 24 + 112));
    const std::size_t names = offsetOf(Le32At(dll, exports + 32));
    const std::size_t ordinals = offsetOf(Le32At(dll, exports + 36));
    const std::size_t functions = offsetOf(Le32At(dll, exports + 28));
    for (std::uint32_t i = 0; exports != 0 && i < Le32At(dll, exports + 24); ++i) {
        const std::size_t name = offsetOf(Le32At(dll, names + 4 * i));
        if (name == 0 || std::string(reinterpret_cast<const char*>(&dll[name])) != "orv_heif_abi")
            continue;
        const std::uint32_t ordinal = Le32At(dll, ordinals + 2 * i) & 0xFFFF;
        const std::size_t code = offsetOf(Le32At(dll, functions + 4 * ordinal));
        const std::uint32_t ours = gdip::kHeifCompanionAbi;
        if (code == 0 || code + 6 > dll.size() || dll[code] != 0xB8 ||
            Le32At(dll, code + 1) != ours || dll[code + 5] != 0xC3)
            return {};
        dll[code + 1] = std::uint8_t(ours + 1);
        return dll;
    }
    return {};
}

TEST(HeifCompanion, WithoutAUsableCompanionHeifIsUnknownAndTheRestConvertsAsBefore) {
    testsupport::TempDir dir;
    const fs::path bin = testsupport::ProgramFolder(), source = dir.Path() / "src";
    fs::create_directories(source);
    const gdip::Bitmap photo = SmoothWaves(48, 32);
    WriteBytes(source / "a.png", Encode(*gdip::kPngCodec.makeEncoder(), photo));
    const Bytes heic = MakeHeif(photo, heif_compression_HEVC, heif_orientation_normal);
    const Bytes avif = MakeHeif(photo, heif_compression_AV1, heif_orientation_normal);
    if (heic.empty() || avif.empty()) GTEST_SKIP() << "the host's libheif cannot make samples";
    WriteBytes(source / "b.heic", heic);
    WriteBytes(source / "c.avif", avif);
    const Bytes companion = ReadBytes(bin / "orv-heif.dll");
    const Bytes otherRevision = OfAnotherRevision(companion);
    ASSERT_FALSE(otherRevision.empty());
    const struct {
        const char* name;
        Bytes dll;  // empty: no orv-heif.dll at all
    } layouts[] = {
        {"present", companion},
        {"missing", {}},
        {"not-a-dll", Bytes(4096, 0x5A)},
        {"cut-short", Bytes(companion.begin(), companion.begin() + long(companion.size() / 2))},
        // A sound DLL without the companion's exports.
        {"another-dll", ReadBytes(bin / "gdiplus.dll")},
        // The companion of another revision of its interface.
        {"another-revision", otherRevision},
    };
    constexpr int kUnknownImageFormat = 13;
    std::map<std::string, Bytes> firstOutputs;
    for (const auto& layout : layouts) {
        SCOPED_TRACE(layout.name);
        const fs::path folder = dir.Path() / layout.name;
        fs::create_directories(folder);
        fs::copy_file(bin / "orv-probe.exe", folder / "orv-probe.exe");
        fs::copy_file(bin / "gdiplus.dll", folder / "gdiplus.dll");
        if (!layout.dll.empty()) WriteBytes(folder / "orv-heif.dll", layout.dll);
        const bool usable = std::string(layout.name) == "present";
        const int code = testsupport::RunWindowsProgram(
            folder / "orv-probe.exe", {"convert", source.string(), (folder / "out").string()},
            folder, folder / "log.txt", 120);
        EXPECT_EQ(code, usable ? 0 : 1);
        const auto statuses = Statuses(folder / "log.txt");
        EXPECT_EQ(statuses.size(), 3u);
        EXPECT_EQ(statuses.count("a.png") ? statuses.at("a.png") : -1, Ok);
        for (const char* heif : {"b.heic", "c.avif"})
            EXPECT_EQ(statuses.count(heif) ? statuses.at(heif) : -1,
                      usable ? Ok : kUnknownImageFormat)
                << heif;
        // The PNG's outputs are the same bytes in every layout.
        for (const auto& entry : fs::directory_iterator(folder / "out")) {
            const std::string name = entry.path().filename().string();
            if (name.rfind("a.png.", 0) != 0) continue;
            const Bytes bytes = ReadBytes(entry.path());
            if (!firstOutputs.count(name)) firstOutputs[name] = bytes;
            EXPECT_EQ(bytes, firstOutputs[name]) << name;
        }
    }
    EXPECT_EQ(firstOutputs.size(), 5u);  // one per published encoder
}

// The module checks what a companion hands over besides the pixels as it
// checks any decoder's: a profile that is no profile and an EXIF block over
// the size kept are dropped, the sound XMP packet reaches the output.
TEST(HeifCompanion, MetadataFromTheCompanionIsCheckedByTheModule) {
    testsupport::TempDir dir;
    const fs::path bin = testsupport::ProgramFolder(), source = dir.Path() / "src",
                   folder = dir.Path() / "untrusted";
    fs::create_directories(source);
    fs::create_directories(folder);
    // Only the signature matters: this companion decodes every file alike.
    const std::string head(
        "\0\0\0\x18"
        "ftypheic\0\0\0\0mif1heic",
        24);
    WriteBytes(source / "a.heic", Bytes(head.begin(), head.end()));
    fs::copy_file(bin / "orv-probe.exe", folder / "orv-probe.exe");
    fs::copy_file(bin / "gdiplus.dll", folder / "gdiplus.dll");
    fs::copy_file(bin / "orv-heif-untrusted.dll", folder / "orv-heif.dll");
    const int code = testsupport::RunWindowsProgram(
        folder / "orv-probe.exe", {"convert", source.string(), (folder / "out").string()}, folder,
        folder / "log.txt", 120);
    EXPECT_EQ(code, 0);
    const Bytes png = ReadBytes(folder / "out" / "a.heic.png");
    const std::string text(png.begin(), png.end());
    ASSERT_FALSE(png.empty());
    EXPECT_EQ(text.find("iCCP"), std::string::npos);
    EXPECT_EQ(text.find("eXIf"), std::string::npos);
    EXPECT_NE(text.find("XML:com.adobe.xmp"), std::string::npos);
}

// Run in a process of its own (the test starts itself again), since the
// other tests of this process may have loaded the companion already.
TEST(HeifCompanion, IsLoadedOnlyWhenAHeifFileIsMet) {
    const char* child = std::getenv("ORV_HEIF_COMPANION_CHILD");
    testsupport::TempDir dir;
    if (child == nullptr) {
        const testsupport::ScopedEnv env("ORV_HEIF_COMPANION_CHILD", "1");
        const fs::path bin = testsupport::ProgramFolder();
        const int code = testsupport::RunWindowsProgram(
            bin / "tests_gdiplus.exe",
            {"--gtest_filter=HeifCompanion.IsLoadedOnlyWhenAHeifFileIsMet"}, bin,
            dir.Path() / "log.txt", 120);
        const std::string log = testsupport::ReadFileBytes(dir.Path() / "log.txt");
        EXPECT_EQ(code, 0) << log;
        EXPECT_NE(log.find("[  PASSED  ] 1 test."), std::string::npos) << log;  // not skipped
        return;
    }
    const Bytes heic =
        MakeHeif(SmoothWaves(16, 16), heif_compression_HEVC, heif_orientation_normal);
    if (heic.empty()) GTEST_SKIP() << "the host's libheif cannot make samples";
    WriteBytes(dir.Path() / "a.png", Encode(*gdip::kPngCodec.makeEncoder(), SmoothWaves(16, 16)));
    WriteBytes(dir.Path() / "b.heic", heic);
    testsupport::ImagingRuntime runtime;
    runtime.Start();
    EXPECT_FALSE(testsupport::ModuleLoaded("orv-heif.dll"));
    for (const char* name : {"a.png", "b.heic"}) {
        GpBitmap* bitmap = nullptr;
        ASSERT_EQ(
            GdipCreateBitmapFromFile(testsupport::WinPathOf(dir.Path() / name).c_str(), &bitmap),
            Ok)
            << name;
        GdipDisposeImage(reinterpret_cast<GpImage*>(bitmap));
        EXPECT_EQ(testsupport::ModuleLoaded("orv-heif.dll"), std::string(name) == "b.heic") << name;
    }
    runtime.Stop();
}

}  // namespace
