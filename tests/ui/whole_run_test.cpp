// Whole runs through the window: real images of every format, files that are
// not images, nested folders, name clashes under each policy, the same folder
// as source and destination, the end messages and the controls afterwards.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <functional>
#include <sstream>

#include "platform/framework/testing.h"
#include "tests/support/dialog_session.h"
#include "tests/support/image_files.h"
#include "tests/support/unprivileged.h"
#include "tests/support/with_imaging_runtime.h"

namespace {

using namespace testsupport;
namespace fs = std::filesystem;
using Names = std::vector<std::string>;
using testsupport::OpenToOthers;
using testsupport::ScopedUnprivileged;

class WholeRun : public ::testing::Test {
protected:
    RunSettings Settings() const { return RunSettings{src.WinPath(), dst.WinPath()}; }
    void ExpectEnd(int p, int t, int r, int saved, int e, const char16_t* message,
                   COLORREF colour) {
        EXPECT_EQ(s.Text(IDC_STATUS_COUNTS), FinalLine(p, t, r, saved, e));
        EXPECT_EQ(s.Text(IDC_STATUS_MESSAGE), message);
        EXPECT_EQ(s.Dlg().GetStatusColour(), colour);
        // Drawn in that colour, not in black.
        EXPECT_LE(s.ClosestToColour(IDC_STATUS_MESSAGE, GetRValue(colour), GetGValue(colour),
                                    GetBValue(colour)),
                  30);
        EXPECT_GT(s.ClosestToColour(IDC_STATUS_MESSAGE, 0, 0, 0), 150);
        ExpectIdleControls(s);
    }
    // Runs with Overwrite into the source folder itself and checks that every
    // file that was there before keeps its bytes.
    void RunOverwritingIntoTheSource(RunSettings& r) {
        const auto before = SnapshotTree(src.Path());
        r.destination = src.WinPath();
        r.policy = ClashPolicy::Overwrite;
        ASSERT_TRUE(RunConversion(s, r));
        const auto after = SnapshotTree(src.Path());
        for (const auto& [name, sum] : before) EXPECT_EQ(after.at(name), sum) << name;
    }

    ScopedHome home{true};
    TempDir src, dst;
    DialogSession s;
};

struct KindCase {
    ImageKind kind;
    const char* name;
    int width, height;
};

const KindCase kKinds[] = {
    {ImageKind::Png, "a.png", 17, 9}, {ImageKind::Jpeg, "b.jpg", 16, 12},
    {ImageKind::Bmp, "c.bmp", 5, 7},  {ImageKind::Gif, "d.gif", 11, 3},
    {ImageKind::Tiff, "e.tif", 8, 8},
};

TEST_F(WholeRun, EveryInputFormatIsWrittenInAllFiveFormats) {
    for (const KindCase& k : kKinds) src.Write(k.name, MakeImage(k.kind, k.width, k.height));
    const auto before = SnapshotTree(src.Path());
    RunSettings r = Settings();
    r.formats = FormatBoxes();
    ASSERT_TRUE(RunConversion(s, r));
    EXPECT_EQ(s.Check(IDC_SELECT_ALL), BST_CHECKED);

    const int due = 5 * static_cast<int>(kFormatTable.size());
    ExpectEnd(5, 5, 5, due, due, u"操作全部完成！", kViolet);
    EXPECT_EQ(FileNamesIn(dst.Path()).size(), static_cast<std::size_t>(due));
    for (const KindCase& k : kKinds) {
        const std::string base = fs::path(k.name).stem().string();
        for (const FormatRow& row : kFormatTable) {
            const std::u16string ext = row.extension, mime = row.mimeType;
            const fs::path out = dst.Path() / (base + std::string(ext.begin(), ext.end()));
            SCOPED_TRACE(out.string());
            ASSERT_TRUE(fs::exists(out));
            // The sniffed name is the MIME subtype in capitals: "image/jpeg" is JPEG.
            std::string format(mime.begin() + mime.find(u'/') + 1, mime.end());
            for (char& c : format) c = static_cast<char>(std::toupper(c));
            EXPECT_EQ(SniffFormat(ReadFileBytes(out)), format);
            EXPECT_EQ(ImageSizeOf(out), (std::pair<unsigned, unsigned>(k.width, k.height)));
        }
    }
    EXPECT_EQ(SnapshotTree(src.Path()), before);
}

TEST_F(WholeRun, FilesThatAreNotImagesAreCountedButNotConverted) {
    src.Write("notes.txt", "not an image\n");
    src.Write("empty.png", "");
    src.Write("broken.png", std::string("\x89PNG\r\n\x1a\n", 8) + std::string(200, 'x'));
    src.Write("broken.bmp", std::string("BM").append(60, '\x01'));
    src.Write("cut.jpg", MakeImage(ImageKind::Jpeg, 32, 32).substr(0, 20));
    src.Write("good.gif", MakeImage(ImageKind::Gif, 6, 4));
    // Skipped by name, even though they hold images.
    src.Write("Thumbs.db", MakeBmp(4, 4));
    src.Write("Desktop.ini", MakeBmp(4, 4));
    ASSERT_TRUE(RunConversion(s, Settings()));
    ExpectEnd(6, 6, 1, 1, 1, u"操作全部完成！", kViolet);
    EXPECT_EQ(FileNamesIn(dst.Path()), (Names{"good.PNG"}));

    // Only files that are not images: complete, with nothing due.
    TempDir other;
    other.Write("a.txt", "text");
    other.Write("b.doc", "");
    RunSettings r = Settings();
    r.source = other.WinPath();
    ASSERT_TRUE(RunConversion(s, r));
    ExpectEnd(2, 2, 0, 0, 0, u"操作全部完成！", kViolet);
    EXPECT_EQ(FileNamesIn(dst.Path()), (Names{"good.PNG"}));
}

TEST_F(WholeRun, NestedFoldersLandSideBySideOrAreLeftOut) {
    src.Write("a.bmp", MakeBmp(3, 3, 1));
    src.Write("sub/b.bmp", MakeBmp(3, 3, 2));
    src.Write("sub/deeper/c.png", MakeImage(ImageKind::Png, 3, 3, 3));
    src.Write("sub/deeper/notes.txt", "x");
    fs::create_directories(src.Path() / "empty" / "folder");

    RunSettings r = Settings();
    ASSERT_TRUE(RunConversion(s, r));
    ExpectEnd(4, 4, 3, 3, 3, u"操作全部完成！", kViolet);
    EXPECT_EQ(FileNamesIn(dst.Path()), (Names{"a.PNG", "b.PNG", "c.PNG"}));

    TempDir flat;
    r.destination = flat.WinPath();
    r.includeSubfolders = false;
    ASSERT_TRUE(RunConversion(s, r));
    ExpectEnd(1, 1, 1, 1, 1, u"操作全部完成！", kViolet);
    EXPECT_EQ(FileNamesIn(flat.Path()), (Names{"a.PNG"}));
}

// Names separated by spaces.
Names Words(const char* text) {
    Names words;
    std::istringstream in(text);
    for (std::string word; in >> word;) words.push_back(word);
    return words;
}

// The checkboxes of the output formats with these extensions.
std::vector<int> BoxesOf(const char* extensions) {
    std::vector<int> boxes;
    for (const std::string& word : Words(extensions))
        for (const FormatRow& row : kFormatTable)
            if (row.extension == u"." + std::u16string(word.begin(), word.end()))
                boxes.push_back(row.checkboxId);
    return boxes;
}

struct ClashCase {
    const char* title;
    const char* sources;  // relative paths, each a small BMP
    const char* taken;    // already in the destination: a file, or a folder with a trailing "/"
    ClashPolicy policy;
    const char16_t* affix;
    const char* formats;  // the output extensions
    int runs;
    const char* expected;  // files in the destination at the end
    int savedPerRun;
};

const ClashCase kClashes[] = {
    {"prefix accumulates", "photo.bmp s1/photo.bmp s2/photo.bmp", "", ClashPolicy::Prefix, u"new_",
     "PNG", 1, "new_new_photo.PNG new_photo.PNG photo.PNG", 3},
    {"prefix only when taken", "photo.bmp other.bmp", "photo.JPG", ClashPolicy::Prefix, u"new_",
     "PNG JPG", 1, "new_photo.JPG other.JPG other.PNG photo.JPG photo.PNG", 4},
    {"a folder takes the name", "photo.bmp", "photo.PNG/", ClashPolicy::Prefix, u"new_", "PNG", 1,
     "new_photo.PNG", 1},
    {"suffix over three runs", "photo.bmp", "", ClashPolicy::Suffix, u"_copy", "PNG", 3,
     "photo.PNG photo_copy.PNG photo_copy_copy.PNG", 1},
    {"overwrite keeps one", "photo.bmp s1/photo.bmp", "photo.PNG", ClashPolicy::Overwrite, u"",
     "PNG", 2, "photo.PNG", 2},
    {"case of the source extension plays no part", "photo.png photo.PNG", "", ClashPolicy::Prefix,
     u"x", "BMP", 1, "photo.BMP xphoto.BMP", 2},
    {"a prefix of separators names the taken file again", "photo.bmp other.bmp", "photo.JPG",
     ClashPolicy::Prefix, u"\\", "JPG", 1, "other.JPG photo.JPG", 1},
    {"a prefix that leads to the parent folder is no name", "photo.bmp other.bmp", "photo.JPG",
     ClashPolicy::Prefix, u"..\\", "JPG", 1, "other.JPG photo.JPG", 1},
    {"a suffix that leads to the parent folder is no name", "photo.bmp", "photo.JPG",
     ClashPolicy::Suffix, u"\\..\\..\\", "JPG", 1, "photo.JPG", 0},
    {"no dot and only a dot", "scan .PNG", "", ClashPolicy::Prefix, u"_ORV_", "GIF", 1,
     ".GIF scan.GIF", 2},
};

TEST_F(WholeRun, NameClashesFollowThePolicy) {
    for (const ClashCase& c : kClashes) {
        SCOPED_TRACE(c.title);
        TempDir from, to;
        std::uint32_t seed = 0;
        const Names sources = Words(c.sources);
        for (const std::string& name : sources) from.Write(name, MakeBmp(4, 3, ++seed));
        for (const std::string& name : Words(c.taken)) {
            if (name.back() == '/') {
                fs::create_directories(to.Path() / name);
            } else {
                to.Write(name, "taken");
            }
        }
        RunSettings r{from.WinPath(), to.WinPath()};
        r.policy = c.policy;
        r.prefix = r.suffix = c.affix;
        r.formats = BoxesOf(c.formats);
        for (int run = 0; run < c.runs; ++run) {
            ASSERT_TRUE(RunConversion(s, r));
            const int n = static_cast<int>(sources.size());
            const int due = n * static_cast<int>(r.formats.size());
            EXPECT_EQ(s.Text(IDC_STATUS_COUNTS), FinalLine(n, n, n, c.savedPerRun, due));
        }
        Names files = FileNamesIn(to.Path());
        EXPECT_EQ(files, Words(c.expected));
        EXPECT_FALSE(fs::exists(to.Path().parent_path() / ".JPG"));
        EXPECT_FALSE(fs::exists(to.Path().parent_path() / "photo.JPG"));
        for (const std::string& name : files)
            if (name != "photo.JPG") {
                EXPECT_NE(SniffFormat(ReadFileBytes(to.Path() / name)), "") << name;
            } else {
                EXPECT_EQ(SniffFormat(ReadFileBytes(to.Path() / name)), "") << "written over";
            }
    }
}

TEST_F(WholeRun, OverwriteIntoTheSourceFolderKeepsTheOriginals) {
    src.Write("a.png", MakeImage(ImageKind::Png, 5, 5, 1));
    src.Write("b.PNG", MakeImage(ImageKind::Png, 6, 6, 2));
    src.Write("c.bmp", MakeBmp(7, 7, 3));
    RunSettings r = Settings();
    ASSERT_NO_FATAL_FAILURE(RunOverwritingIntoTheSource(r));
    // b.PNG would be written over itself: refused, counted as not saved.
    ExpectEnd(3, 3, 3, 2, 3, u"操作部分完成！", kOrange);
    EXPECT_EQ(FileNamesIn(src.Path()), (Names{"a.PNG", "a.png", "b.PNG", "c.PNG", "c.bmp"}));
}

// With the destination in the source folder, one file's output can carry
// the name of another source of the run (k.JPG's k.PNG is the source k.PNG).
// Overwrite replaces no source, by name or through a link, and each refusal
// counts as not saved; outputs that are no source are still replaced.
TEST_F(WholeRun, OverwriteReplacesNoSourceOfTheRun) {
    src.Write("k.JPG", MakeImage(ImageKind::Jpeg, 8, 6, 1));
    src.Write("k.PNG", MakeImage(ImageKind::Png, 9, 7, 2));
    src.Write("m.GIF", MakeImage(ImageKind::Gif, 5, 4, 3));
    src.Write("m.bmp", MakeBmp(6, 5, 4));
    RunSettings r = Settings();
    r.formats = FormatBoxes();
    ASSERT_NO_FATAL_FAILURE(RunOverwritingIntoTheSource(r));
    // Refused: k.PNG and k.JPG for both k files, m.GIF for both m files.
    ExpectEnd(4, 4, 4, 14, 20, u"操作部分完成！", kOrange);
    EXPECT_EQ(FileNamesIn(src.Path()), (Names{"k.BMP", "k.GIF", "k.JPG", "k.PNG", "k.TIF", "m.BMP",
                                              "m.GIF", "m.JPG", "m.PNG", "m.TIF", "m.bmp"}));

    // Links to sources in another destination are refused; a plain file is replaced.
    TempDir from, to;
    const fs::path k = from.Write("k.JPG", MakeImage(ImageKind::Jpeg, 8, 6, 1));
    const fs::path m = from.Write("m.GIF", MakeImage(ImageKind::Gif, 5, 4, 3));
    fs::create_hard_link(k, to.Path() / "k.PNG");
    fs::create_symlink(m, to.Path() / "m.PNG");
    to.Write("k.GIF", "old");
    const auto sources = SnapshotTree(from.Path());
    r.source = from.WinPath();
    r.destination = to.WinPath();
    r.formats = {IDC_FORMAT_PNG, IDC_FORMAT_GIF};
    ASSERT_TRUE(RunConversion(s, r));
    ExpectEnd(2, 2, 2, 2, 4, u"操作部分完成！", kOrange);
    EXPECT_EQ(SnapshotTree(from.Path()), sources);
    EXPECT_TRUE(fs::is_symlink(to.Path() / "m.PNG"));
    EXPECT_EQ(fs::hard_link_count(k), 2u);
    EXPECT_EQ(SniffFormat(ReadFileBytes(to.Path() / "k.GIF")), "GIF");
    EXPECT_EQ(FileNamesIn(to.Path()), (Names{"k.GIF", "k.PNG", "m.GIF", "m.PNG"}));
}

// Folders in the destination where outputs should land make their saves
// fail. The formats are saved in table order, PNG first: its failure must not
// keep the later formats of the same picture from being written.
TEST_F(WholeRun, FailedSavesSetTheOutcome) {
    const struct {
        const char* sources;
        const char* blocked;  // folders in the destination
        const char* formats;
        int saved, due;
        const char16_t* message;
        COLORREF colour;
        const char* files;  // in the destination at the end
    } cases[] = {
        {"a.bmp b.bmp", "a.PNG b.PNG", "PNG", 0, 2, u"操作失败！", kRed, ""},
        {"a.bmp b.bmp", "b.JPG", "PNG JPG", 3, 4, u"操作部分完成！", kOrange, "a.JPG a.PNG b.PNG"},
        {"a.bmp", "a.PNG", "PNG BMP TIF", 2, 3, u"操作部分完成！", kOrange, "a.BMP a.TIF"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.formats);
        TempDir from, to;
        for (const std::string& name : Words(c.sources)) from.Write(name, MakeBmp(3, 3));
        for (const std::string& name : Words(c.blocked)) fs::create_directories(to.Path() / name);
        RunSettings r = Settings();
        r.source = from.WinPath();
        r.destination = to.WinPath();
        r.policy = ClashPolicy::Overwrite;
        r.formats = BoxesOf(c.formats);
        ASSERT_TRUE(RunConversion(s, r));
        const int n = static_cast<int>(Words(c.sources).size());
        ExpectEnd(n, n, n, c.saved, c.due, c.message, c.colour);
        EXPECT_EQ(FileNamesIn(to.Path()), Words(c.files));  // files only
        for (const std::string& name : Words(c.files))
            EXPECT_NE(SniffFormat(ReadFileBytes(to.Path() / name)), "") << name;
    }
}

// Acting as an ordinary user, as permission bits do not stop root: a
// destination that cannot be written fails every save and keeps nothing,
// and a subfolder that cannot be read adds nothing while the scan goes on.
TEST_F(WholeRun, ReadOnlyDestinationAndUnreadableSubfolder) {
    src.Write("a.bmp", MakeBmp(3, 3));
    src.Write("locked/b.bmp", MakeBmp(3, 3));
    src.Write("open/c.bmp", MakeBmp(3, 3));
    fs::permissions(src.Path() / "locked", fs::perms::none);
    OpenToOthers(src.Path(), false);
    OpenToOthers(dst.Path(), false);
    // Read-only for its owner too: run by an ordinary user, the test acts
    // as that user, who made the folder.
    fs::permissions(dst.Path(), fs::perms::owner_write, fs::perm_options::remove);
    ScopedUnprivileged user;
    if (!user.Active()) GTEST_SKIP() << user.Reason();
    ASSERT_TRUE(RunConversion(s, Settings()));
    ExpectEnd(2, 2, 2, 0, 2, u"操作失败！", kRed);
    EXPECT_TRUE(FileNamesIn(dst.Path()).empty());  // no output, no temporary file
}

// The destination vanishes between two files: the saves after it fail and
// are counted, and the run ends normally.
TEST_F(WholeRun, DestinationRemovedInTheMiddleOfARun) {
    for (const char* name : {"a.bmp", "b.bmp", "c.bmp"}) src.Write(name, MakeBmp(3, 3));
    RunSettings r = Settings();
    r.destination = dst.WinPath() + u"out";
    r.formats = {IDC_FORMAT_PNG, IDC_FORMAT_BMP};
    s.Apply(r);
    s.Click(IDC_START);
    s.Click(IDC_START);  // pause: the first file's armed save still runs
    s.Settle();
    ASSERT_EQ(s.Counters().saved, 2);
    fs::remove_all(dst.Path() / "out");
    s.Click(IDC_START);
    ASSERT_TRUE(s.WaitForRunEnd());
    ExpectEnd(3, 3, 3, 2, 6, u"操作部分完成！", kOrange);
    EXPECT_FALSE(fs::exists(dst.Path() / "out"));
}

// An empty folder, or a file as the source, finds nothing.
TEST_F(WholeRun, NothingFoundEndsInsideTheClick) {
    TempDir empty;
    const fs::path file = src.Write("one.bmp", MakeBmp(2, 2));
    for (const std::u16string& source : {empty.WinPath(), WinPathOf(file)}) {
        RunSettings r = Settings();
        r.source = source;
        s.Apply(r);
        s.Click(IDC_START);
        // No event-loop turn in between: the first load step ran in the click.
        ExpectEnd(0, 0, 0, 0, 0, u"操作全部完成！", kViolet);
        EXPECT_EQ(s.ProgressPos(), 0);
        EXPECT_EQ(s.FocusId(), IDC_START);
    }
}

TEST_F(WholeRun, DeepDestinationIsCreatedAndPathsWithSpacesAreTrimmed) {
    src.Write("x.bmp", MakeBmp(2, 2));
    RunSettings r = Settings();
    const std::u16string from = src.WinPath(), to = dst.WinPath();
    r.source = u"  " + from + u"  ";
    r.destination = u" " + to + u"one\\\\two\\three ";
    ASSERT_TRUE(RunConversion(s, r));
    ExpectEnd(1, 1, 1, 1, 1, u"操作全部完成！", kViolet);
    EXPECT_TRUE(fs::exists(dst.Path() / "one" / "two" / "three" / "x.PNG"));
    EXPECT_TRUE(s.Enabled(IDC_OPEN_SAVE));
    // The edit keeps what was typed.
    EXPECT_EQ(s.Text(IDC_SAVE_PATH), r.destination);
}

TEST_F(WholeRun, AnyFileNameComesBackInTheOutputName) {
    // Chinese, a byte that is not UTF-8, a backslash inside a host name,
    // spaces at the ends of the base name, and a second dot.
    const std::vector<std::pair<std::string, std::string>> names = {
        {"照片.bmp", "照片.PNG"},
        {"bad\xff\xfe.bmp", "bad\xff\xfe.PNG"},
        {"back\\slash.bmp", "back\\slash.PNG"},
        {" spaced .bmp", " spaced .PNG"},
        {"photo.old.bmp", "photo.old.PNG"},
    };
    for (const auto& [in, out] : names) src.Write(in, MakeBmp(3, 2));
    ASSERT_TRUE(RunConversion(s, Settings()));
    ExpectEnd(5, 5, 5, 5, 5, u"操作全部完成！", kViolet);
    Names expected;
    for (const auto& [in, out] : names) expected.push_back(out);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(FileNamesIn(dst.Path()), expected);
}

TEST_F(WholeRun, DestinationInsideTheSourceIsNotScannedAgain) {
    src.Write("a.bmp", MakeBmp(3, 3));
    src.Write("sub/b.bmp", MakeBmp(3, 3));
    RunSettings r = Settings();
    r.destination = src.WinPath() + u"sub";
    ASSERT_TRUE(RunConversion(s, r));
    ExpectEnd(2, 2, 2, 2, 2, u"操作全部完成！", kViolet);
    EXPECT_EQ(FileNamesIn(src.Path() / "sub"), (Names{"a.PNG", "b.PNG", "b.bmp"}));
    // The second run sees the first run's outputs as sources.
    ASSERT_TRUE(RunConversion(s, r));
    ExpectEnd(4, 4, 4, 4, 4, u"操作全部完成！", kViolet);
}

TEST_F(WholeRun, ANameTooLongForTheFileSystemCountsAsNotSaved) {
    const std::string longBase(250, 'L');
    src.Write(longBase + ".bmp", MakeBmp(3, 3));
    src.Write("short.bmp", MakeBmp(3, 3));
    dst.Write(longBase + ".PNG", "taken");  // so the prefixed name is needed: 259 bytes
    ASSERT_TRUE(RunConversion(s, Settings()));
    ExpectEnd(2, 2, 2, 1, 2, u"操作部分完成！", kOrange);
    EXPECT_EQ(FileNamesIn(dst.Path()), (Names{longBase + ".PNG", "short.PNG"}));
}

// --- Faults found at Start ---------------------------------------------------------

TEST_F(WholeRun, DestinationThatCannotBeCreatedStartsNothing) {
    src.Write("x.bmp", MakeBmp(2, 2));
    dst.Write("file", "a file where a folder is needed");
    for (const std::u16string& bad : {std::u16string(u"Q:\\out\\"), dst.WinPath() + u"file\\sub"}) {
        SCOPED_TRACE(std::string(bad.begin(), bad.end()));
        RunSettings r = Settings();
        r.destination = bad;
        s.Apply(r);
        s.Click(IDC_START);
        EXPECT_EQ(s.Text(IDC_STATUS_MESSAGE),
                  u"创建保存路径失败，请检查保存路径及确认磁盘状况，或者稍候重试。");
        EXPECT_EQ(s.Dlg().GetStatusColour(), kRed);
        EXPECT_EQ(s.Text(IDC_STATUS_COUNTS), u"");
        ExpectIdleControls(s);
        afx::testing::PumpOnce();
        EXPECT_EQ(s.State(), RunState::Idle);
    }
    EXPECT_EQ(FileNamesIn(dst.Path()), (Names{"file"}));
}

TEST_F(WholeRun, SettingsFaultsAreReportedOneAtATimeInOrder) {
    src.Write("x.bmp", MakeBmp(2, 2));
    RunSettings r = Settings();
    r.source = u"   ";
    r.formats = {};
    r.destination = u"";
    r.prefix = u"  ";
    s.Apply(r);
    struct Step {
        const char16_t* message;
        std::function<void()> fix;
    };
    // The source is reported before every other fault, whether empty or missing.
    const Step steps[] = {
        {u"请填写或选择正确的  打开路径。",
         [&] { s.Type(IDC_SOURCE_PATH, src.WinPath() + u"missing"); }},
        {u"请填写或选择正确的  打开路径。", [&] { s.Type(IDC_SOURCE_PATH, src.WinPath()); }},
        {u"请选择  保存格式。", [&] { s.Click(IDC_FORMAT_TIFF); }},
        {u"请填写或选择正确的  保存路径。", [&] { s.Type(IDC_SAVE_PATH, dst.WinPath() + u"out"); }},
        {u"请填写 文件重名时 添加的前缀名。",
         [&] {
             s.Click(IDC_POLICY_SUFFIX);
             s.Type(IDC_SUFFIX, u" \u3000 ");
         }},
        {u"请填写 文件重名时 添加的后缀名。",
         [&] {
             // No user can uncheck every radio; the program's own call can.
             s.Dlg().CheckDlgButton(IDC_POLICY_SUFFIX, BST_UNCHECKED);
         }},
        {u"请选择 文件重名时 的操作策略。", [&] { s.Click(IDC_POLICY_OVERWRITE); }},
    };
    for (const Step& step : steps) {
        s.Dlg().ShowStatusMessage(u"", 0);
        s.Click(IDC_START);
        EXPECT_EQ(s.Text(IDC_STATUS_MESSAGE), step.message);
        EXPECT_EQ(s.Dlg().GetStatusColour(), kRed);
        EXPECT_EQ(s.State(), RunState::Idle);
        EXPECT_EQ(s.Text(IDC_START), kStartCaption);
        EXPECT_FALSE(s.Enabled(IDC_STOP));
        EXPECT_FALSE(s.Visible(IDC_PROGRESS));
        EXPECT_TRUE(s.Enabled(IDC_SOURCE_PATH));
        EXPECT_FALSE(fs::exists(dst.Path() / "out"));
        step.fix();
    }
    ASSERT_TRUE(RunConversion(s, [&] {
        RunSettings ok = Settings();
        ok.destination = dst.WinPath() + u"out";
        ok.formats = {IDC_FORMAT_TIFF};
        ok.policy = ClashPolicy::Overwrite;
        return ok;
    }()));
    ExpectEnd(1, 1, 1, 1, 1, u"操作全部完成！", kViolet);
    EXPECT_TRUE(fs::exists(dst.Path() / "out" / "x.TIF"));
}

TEST_F(WholeRun, ProgressBarStepsThroughTheFilesAndNeverGoesBack) {
    for (int i = 0; i < 7; ++i) src.Write(NumberedName("f", i, ".txt"), "not an image");
    s.Apply(Settings());
    s.Click(IDC_START);
    std::vector<int> seen{s.ProgressPos()};
    ASSERT_TRUE(WaitUntil("the run to end while its bar is watched", [&] {
        if (s.ProgressPos() != seen.back()) seen.push_back(s.ProgressPos());
        return !s.RunInProgress();
    }));
    const std::vector<int> all{0, 14, 28, 42, 57, 71, 85, 100};
    for (std::size_t i = 1; i < seen.size(); ++i) EXPECT_GT(seen[i], seen[i - 1]);
    for (int pos : seen) EXPECT_NE(std::find(all.begin(), all.end(), pos), all.end()) << pos;
    EXPECT_EQ(seen.back(), 100);
    ExpectEnd(7, 7, 0, 0, 0, u"操作全部完成！", kViolet);
}

}  // namespace
