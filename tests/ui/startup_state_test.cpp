// The main window as it opens: every control's caption, check, enabled and
// visible state, the defaults, the focus, the fonts, the layout and the
// colours of the banner and the group titles in a rendering.
#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <cstdlib>
#include <fstream>

#include "platform/framework/testing_qt.h"
#include "tests/support/dialog_session.h"
#include "tests/support/image_files.h"
#include "tests/support/with_imaging_runtime.h"

namespace {

using testsupport::DialogSession;
using testsupport::FormatBoxes;
using testsupport::ScopedHome;
using testsupport::TemplateItem;

constexpr char16_t kPrefixExample[] = u"( 比如, \"某文件.PNG\" 会被存成 \"_ORV_某文件.PNG\" )";
constexpr char16_t kSuffixExample[] = u"( 比如, \"某文件.PNG\" 会被存成 \"某文件_ORV.PNG\" )";

struct ControlStart {
    int id;
    const char16_t* text;
    bool enabled;
    UINT check;  // BST_* for buttons; ignored (0) for the rest
};

// Everything but the Open buttons, whose state follows the file system, and
// the format boxes, which the test reads from the template.
const ControlStart kStartState[] = {
    {IDC_SOURCE_PATH, u"C:\\Pictures\\", true, 0},
    {IDC_BROWSE_SOURCE, u"浏览...", true, 0},
    {IDC_INCLUDE_SUBFOLDERS, u"包含子文件夹", true, BST_CHECKED},
    {IDC_SELECT_ALL, u"全选", true, BST_UNCHECKED},
    {IDC_SAVE_PATH, u"C:\\ORV_Save\\", true, 0},
    {IDC_BROWSE_SAVE, u"浏览...", true, 0},
    {IDC_POLICY_PREFIX, u"加前缀", true, BST_CHECKED},
    {IDC_PREFIX, u"_ORV_", true, 0},
    {IDC_POLICY_SUFFIX, u"加后缀", true, BST_UNCHECKED},
    {IDC_SUFFIX, u"_ORV", false, 0},
    {IDC_POLICY_OVERWRITE, u"直接覆盖", true, BST_UNCHECKED},
    {IDC_START, u"开      始", true, 0},
    {IDC_STOP, u"停      止", false, 0},
    {IDC_SUFFIX_EXAMPLE, kSuffixExample, true, 0},
    {IDC_SAVE_LABEL, u"保存路径", true, 0},
    {IDC_SOURCE_GROUP, u"打开", true, 0},
    {IDC_PROGRESS_GROUP, u"", true, 0},
    {IDC_SAVE_GROUP, u"保存", true, 0},
    {IDC_SOURCE_LABEL, u"打开路径", true, 0},
    {IDC_STATUS_COUNTS, u"", true, 0},
    {IDC_STATUS_MESSAGE, u"", true, 0},
    {IDC_BANNER, u"批量格式转化", true, 0},
    {IDC_PREFIX_EXAMPLE, kPrefixExample, true, 0},
};

bool IsButton(int id) {
    const ControlKind kind = TemplateItem(id).kind;
    return kind == ControlKind::CheckBox || kind == ControlKind::RadioButton;
}

TEST(StartupState, EveryControlAsTheWindowOpens) {
    ScopedHome home(true);
    DialogSession s;
    for (const ControlStart& c : kStartState) {
        SCOPED_TRACE(c.id);
        EXPECT_EQ(s.Text(c.id), c.text);
        EXPECT_EQ(s.Enabled(c.id), c.enabled);
        if (IsButton(c.id)) {
            EXPECT_EQ(s.Check(c.id), c.check);
        }
        EXPECT_TRUE(s.Visible(c.id));
    }
    // The format boxes show their template text; PNG alone is ticked.
    for (int box : FormatBoxes()) {
        SCOPED_TRACE(box);
        EXPECT_EQ(s.Text(box), TemplateItem(box).text);
        EXPECT_TRUE(s.Enabled(box));
        EXPECT_EQ(s.Check(box), box == IDC_FORMAT_PNG ? BST_CHECKED : BST_UNCHECKED);
        EXPECT_TRUE(s.Visible(box));
    }
    EXPECT_FALSE(s.Visible(IDC_PROGRESS));
    EXPECT_EQ(s.Caption(), testsupport::kProductTitle);
    EXPECT_EQ(s.FocusId(), IDC_SOURCE_PATH);
    EXPECT_EQ(s.State(), RunState::Idle);
    EXPECT_EQ(s.Dlg().GetStatusColour(), 0u);
    // The Pictures folder exists, C:\ORV_Save\ does not.
    EXPECT_TRUE(s.Enabled(IDC_OPEN_SOURCE));
    EXPECT_FALSE(s.Enabled(IDC_OPEN_SAVE));
    EXPECT_EQ(s.Text(IDC_OPEN_SOURCE), u"打开");
    EXPECT_EQ(s.Text(IDC_OPEN_SAVE), u"打开");
}

// The start folders follow the home folder: no Pictures folder gives the root
// of drive C (the home folder, which exists); a Pictures folder named with a
// trailing slash gets one backslash; an existing destination can be opened.
TEST(StartupState, TheStartFoldersFollowTheHomeFolder) {
    const struct {
        bool withPictures;
        const char* folder;    // made in the home folder
        const char* userDirs;  // written as user-dirs.dirs, unless null
        const char16_t* source;
        bool openSave;
    } cases[] = {
        {false, nullptr, nullptr, u"C:\\", false},
        {true, "ORV_Save", nullptr, u"C:\\Pictures\\", true},
        {false, "My Photos", "XDG_PICTURES_DIR=\"$HOME/My Photos/\"\n", u"C:\\My Photos\\", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::u16string(c.source)));
        ScopedHome home(c.withPictures);
        if (c.folder) std::filesystem::create_directories(home.Path() / c.folder);
        if (c.userDirs) std::ofstream(home.Path() / ".config" / "user-dirs.dirs") << c.userDirs;
        DialogSession s;
        EXPECT_EQ(s.Text(IDC_SOURCE_PATH), c.source);
        EXPECT_TRUE(s.Enabled(IDC_OPEN_SOURCE));
        EXPECT_EQ(s.Text(IDC_SAVE_PATH), u"C:\\ORV_Save\\");
        EXPECT_EQ(s.Enabled(IDC_OPEN_SAVE), c.openSave);
    }
}

TEST(StartupState, EnterRightAfterStartUpStartsARunOverThePicturesFolder) {
    ScopedHome home(true);
    std::ofstream(home.Path() / "Pictures" / "a.bmp", std::ios::binary)
        << testsupport::MakeBmp(8, 6);
    DialogSession s;
    afx::testing::PressEnter(&s.Dlg());
    ASSERT_TRUE(s.WaitForRunEnd());
    EXPECT_EQ(s.Text(IDC_STATUS_MESSAGE), u"操作全部完成！");
    EXPECT_TRUE(std::filesystem::exists(home.Path() / "ORV_Save" / "a.PNG"));
}

// Start-up rules that nothing else would notice breaking: Start and Enter
// are ignored until the window is ready, only the large icon is set, and the
// banner is 28 points at the screen's resolution.
TEST(StartupState, ReadyGuardOneIconAndTheBannerHeight) {
    ScopedHome home(true);
    {
        CConverterDlg early(nullptr);  // no window yet, so not ready
        early.OnStart();
        early.OnOK();
        EXPECT_EQ(early.GetRunState(), RunState::Idle);
    }
    CWinApp app;  // the constructor loads the icon through the application
    DialogSession s;
    const HICON icon = app.LoadIconW(IDR_MAINFRAME);
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(s.Dlg().GetIcon(TRUE), icon);
    EXPECT_EQ(s.Dlg().GetIcon(FALSE), nullptr);
    EXPECT_EQ(s.Dlg().OnQueryDragIcon(), icon);

    CClientDC screen(&s.Dlg());
    const int dpi = screen.GetDeviceCaps(LOGPIXELSY);
    const int height = afx::testing::WidgetOf(s.Item(IDC_BANNER))->font().pixelSize();
    EXPECT_EQ(height, dpi * 280 / 720);
    if (dpi == 96) {
        EXPECT_EQ(height, 37);
    }
}

// --- Fonts, layout and colours ------------------------------------------------

TEST(StartupLook, FontsResolveToTheInstalledSubstitutes) {
    ScopedHome home(true);
    DialogSession s;
    for (const ControlStart& c : kStartState) {
        SCOPED_TRACE(c.id);
        const std::u16string expected =
            c.id == IDC_BANNER ? u"AR PL UKai CN" : u"WenQuanYi Micro Hei";
        EXPECT_EQ(afx::testing::ResolvedFamily(s.Item(c.id)), expected);
    }
}

// Every control of template 102 with an identifier of its own sits where one common scale from
// dialog units puts it; the scale is taken from the outer frame.
TEST(StartupLook, ControlsKeepTheTemplateLayout) {
    ScopedHome home(true);
    DialogSession s;
    const DialogItemTemplate& outer = TemplateItem(IDC_OUTER_FRAME);
    const RECT frame = afx::testing::ControlRect(s.Item(IDC_OUTER_FRAME));
    const double sx = double(frame.right - frame.left) / outer.cx;
    const double sy = double(frame.bottom - frame.top) / outer.cy;
    ASSERT_GT(sx, 1.0);
    ASSERT_GT(sy, 1.0);
    for (std::size_t i = 0; i < g_mainDialogTemplate.itemCount; ++i) {
        const DialogItemTemplate& d = g_mainDialogTemplate.items[i];
        if (d.id == IDC_STATIC) continue;  // not one control of its own
        SCOPED_TRACE(d.id);
        const RECT r = afx::testing::ControlRect(s.Item(static_cast<int>(d.id)));
        EXPECT_NEAR(r.left, d.x * sx, 2.0);
        EXPECT_NEAR(r.top, d.y * sy, 2.0);
        EXPECT_NEAR(r.right - r.left, d.cx * sx, 2.0);
        EXPECT_NEAR(r.bottom - r.top, d.cy * sy, 2.0);
    }
}

// Calls visit with every pixel of the image inside r.
template <class Visit>
void ForEachPixel(const QImage& image, const RECT& r, Visit visit) {
    for (int y = std::max<LONG>(0, r.top); y < std::min<LONG>(image.height(), r.bottom); ++y)
        for (int x = std::max<LONG>(0, r.left); x < std::min<LONG>(image.width(), r.right); ++x)
            visit(image.pixelColor(x, y));
}

int CountColour(const QImage& image, const RECT& r, QColor colour) {
    int n = 0;
    ForEachPixel(image, r, [&](QColor c) { n += c.rgb() == colour.rgb(); });
    return n;
}

// Pixels whose green clearly outweighs red and blue.
int CountGreenish(const QImage& image, const RECT& r) {
    int n = 0;
    ForEachPixel(image, r, [&](QColor c) { n += c.green() - std::max(c.red(), c.blue()) >= 60; });
    return n;
}

int ClosestDistance(const QImage& image, const RECT& r, QColor colour) {
    int best = 3 * 255;
    ForEachPixel(image, r, [&](QColor c) {
        best =
            std::min(best, std::abs(c.red() - colour.red()) + std::abs(c.green() - colour.green()) +
                               std::abs(c.blue() - colour.blue()));
    });
    return best;
}

TEST(StartupLook, BannerIsOrangeRedAndGroupTitlesAreGreen) {
    ScopedHome home(true);
    DialogSession s;
    const QImage shot = afx::testing::Grab(&s.Dlg());
    ASSERT_FALSE(shot.isNull());
    const QColor banner(231, 86, 16);
    const QColor green(0, 152, 0);
    EXPECT_GT(CountColour(shot, afx::testing::ControlRect(s.Item(IDC_BANNER)), banner), 50);
    for (int id : {IDC_SOURCE_GROUP, IDC_SAVE_GROUP}) {
        // The title sits on the frame's top line; its thin strokes are
        // smoothed into the background, so the title is found by its hue and
        // by its strongest pixels being the green itself.
        const RECT r = afx::testing::ControlRect(s.Item(id));
        const RECT band{r.left, r.top - 12, r.right, r.top + 16};
        EXPECT_GT(CountGreenish(shot, band), 10) << id;
        EXPECT_LE(ClosestDistance(shot, band, green), 30) << id;
    }
    // The frame without a title has no green, and the other texts are not green.
    for (int id : {IDC_PROGRESS_GROUP, IDC_SOURCE_LABEL, IDC_SAVE_LABEL, IDC_START}) {
        EXPECT_EQ(CountGreenish(shot, afx::testing::ControlRect(s.Item(id))), 0) << id;
    }
    EXPECT_EQ(CountColour(shot, afx::testing::ControlRect(s.Item(IDC_SOURCE_PATH)), banner), 0);
}

// A fixed-size window with a minimise box and no maximise box, centred on
// the screen, with a taskbar entry of its own.
TEST(StartupLook, FixedSizeWindowCentredWithMinimiseBoxOnly) {
    ScopedHome home(true);
    DialogSession s;
    QWidget* window = afx::testing::WindowOf(&s.Dlg());
    ASSERT_NE(window, nullptr);
    const Qt::WindowFlags flags = window->windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowSystemMenuHint));
    EXPECT_EQ(window->windowType(), Qt::Window);
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
    EXPECT_EQ(window->size(), window->minimumSize());
    const QPoint centre = window->screen()->availableGeometry().center();
    const QPoint mine = window->frameGeometry().center();
    EXPECT_NEAR(mine.x(), centre.x(), 3);
    EXPECT_NEAR(mine.y(), centre.y(), 3);
}

}  // namespace
