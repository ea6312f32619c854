// What the window looks like: fonts, control colours, group box titles, the
// icon, painting, and the message box.
#include <gtest/gtest.h>

#include <QFontInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QPalette>
#include <QScreen>
#include <QWidget>
#include <cmath>
#include <functional>

#include "platform/framework/testing_qt.h"
#include "test_dialog.h"

using namespace afx::testing;

namespace {

// Pixels inside r that pass the test; r in window coordinates.
int CountPixels(const QImage& img, const RECT& r, const std::function<bool(QColor)>& test) {
    int n = 0;
    for (int y = r.top; y < r.bottom && y < img.height(); ++y)
        for (int x = r.left; x < r.right && x < img.width(); ++x)
            if (test(img.pixelColor(x, y))) ++n;
    return n;
}

bool Greenish(QColor c) {
    return c.green() > c.red() + 60 && c.green() > c.blue() + 60;
}
bool Reddish(QColor c) {
    return c.red() > c.green() + 80 && c.red() > c.blue() + 80;
}

LOGFONTW FontOf(const char16_t* face, LONG height) {
    LOGFONTW lf{};
    lf.lfHeight = height;
    lf.lfCharSet = DEFAULT_CHARSET;
    for (int i = 0; face[i] && i < 31; ++i) lf.lfFaceName[i] = face[i];
    return lf;
}

}  // namespace

// A missing font package must fail here rather than draw boxes.
TEST(FwFontTest, TemplateAndBannerFacesResolveToTheInstalledChineseFontsAtTheirHeights) {
    TestDialog dlg;
    ASSERT_TRUE(dlg.Create());
    for (int id : {IDC_SOURCE_PATH, IDC_START, IDC_SOURCE_GROUP, IDC_STATUS_MESSAGE})
        EXPECT_EQ(ResolvedFamily(dlg.GetDlgItem(id)), u"WenQuanYi Micro Hei") << id;

    CClientDC dc(&dlg);
    const LONG height = -(dc.GetDeviceCaps(LOGPIXELSY) * 280 / 720);
    const LOGFONTW lf = FontOf(u"楷体_GB2312", height);
    CFont banner;
    ASSERT_TRUE(banner.CreateFontIndirectW(&lf));
    CWnd* label = dlg.GetDlgItem(IDC_BANNER);
    label->SetFont(&banner, FALSE);
    EXPECT_EQ(ResolvedFamily(label), u"AR PL UKai CN");
    EXPECT_EQ(WidgetOf(label)->font().pixelSize(), -height);
    EXPECT_FALSE(WidgetOf(label)->font().bold());
    EXPECT_FALSE(WidgetOf(label)->font().italic());

    // A positive height is the cell height.
    for (LONG cell : {16, 40}) {
        const LOGFONTW lf = FontOf(u"MS Shell Dlg", cell);
        CFont font;
        ASSERT_TRUE(font.CreateFontIndirectW(&lf));
        CWnd* label = dlg.GetDlgItem(IDC_STATUS_COUNTS);
        label->SetFont(&font);
        const int measured = QFontMetrics(WidgetOf(label)->font()).height();
        EXPECT_LE(std::abs(measured - cell), 1) << cell;
    }
}

TEST(FwMetricsTest, DeviceCapsAndIconMetricsAreTheScreens) {
    TestDialog dlg;
    ASSERT_TRUE(dlg.Create());
    CClientDC dc(&dlg);
    const double dpi = QGuiApplication::primaryScreen()->logicalDotsPerInchY();
    EXPECT_EQ(dc.GetDeviceCaps(LOGPIXELSY), static_cast<int>(std::lround(dpi)));
    EXPECT_EQ(GetSystemMetrics(SM_CXICON), 32);
    EXPECT_EQ(GetSystemMetrics(SM_CYICON), 32);
}

TEST(FwColourTest, OnCtlColorColoursAreDrawnAndUntouchedStaticsKeepTheirs) {
    TestDialog dlg;
    dlg.textColours = {{IDC_SOURCE_GROUP, RGB(0, 152, 0)}, {IDC_STATUS_MESSAGE, RGB(230, 0, 0)}};
    ASSERT_TRUE(dlg.Create());
    dlg.SetDlgItemTextW(IDC_STATUS_MESSAGE, u"操作失败！");
    const QImage img = Grab(&dlg);
    ASSERT_FALSE(img.isNull());

    EXPECT_GT(CountPixels(img, ControlRect(dlg.GetDlgItem(IDC_SOURCE_GROUP)), Greenish), 10);
    EXPECT_GT(CountPixels(img, ControlRect(dlg.GetDlgItem(IDC_STATUS_MESSAGE)), Reddish), 10);
    const RECT whole{0, 0, img.width(), img.height()};
    EXPECT_EQ(CountPixels(img, ControlRect(dlg.GetDlgItem(IDC_SOURCE_LABEL)), Greenish), 0);
    EXPECT_EQ(CountPixels(img, ControlRect(dlg.GetDlgItem(IDC_SAVE_GROUP)), Greenish), 0);
    // Only status line 1036 is red anywhere in the window.
    EXPECT_EQ(CountPixels(img, whole, Reddish),
              CountPixels(img, ControlRect(dlg.GetDlgItem(IDC_STATUS_MESSAGE)), Reddish));

    bool askedForGroup = false, askedForBanner = false;
    for (auto [id, type] : dlg.ctlColorCalls) {
        EXPECT_EQ(type, CTLCOLOR_STATIC);
        askedForGroup |= id == IDC_SOURCE_GROUP;
        askedForBanner |= id == IDC_BANNER;
    }
    EXPECT_TRUE(askedForGroup);
    EXPECT_TRUE(askedForBanner);
}

TEST(FwGroupBoxTest, TheTitleSitsOnTheFrameLineWithAGapAroundIt) {
    TestDialog dlg;
    ASSERT_TRUE(dlg.Create());
    const QImage img = Grab(&dlg);
    QWidget* group = WidgetOf(dlg.GetDlgItem(IDC_SOURCE_GROUP));
    const QColor frame = group->palette().color(QPalette::Dark);
    const QFontMetrics fm(group->font());
    const RECT r = ControlRect(dlg.GetDlgItem(IDC_SOURCE_GROUP));
    const int lineY = r.top + fm.height() / 2 - 1;
    auto isFrame = [&](int x, int y) { return img.pixel(x, y) == frame.rgb(); };

    EXPECT_TRUE(isFrame(r.left + 2, lineY));                       // left of the title
    EXPECT_TRUE(isFrame(r.right - 6, lineY));                      // right of it
    EXPECT_TRUE(isFrame(r.left, r.top + (r.bottom - r.top) / 2));  // the left edge
    const int titleWidth = fm.horizontalAdvance(QString::fromUtf16(u"打开"));
    for (int x = r.left + 7; x < r.left + 7 + titleWidth; ++x)
        EXPECT_FALSE(isFrame(x, lineY)) << "frame through the title at x=" << x;
    // The untitled progress group has an unbroken top edge.
    const RECT p = ControlRect(dlg.GetDlgItem(IDC_PROGRESS_GROUP));
    for (int x = p.left + 2; x < p.left + 60; ++x)
        EXPECT_TRUE(isFrame(x, p.top + fm.height() / 2 - 1));
}

TEST(FwIconTest, TheIconGroupLoadsOnceAndTravelsThroughSetIcon) {
    CWinApp app;
    EXPECT_EQ(AfxGetApp(), &app);
    HICON icon = app.LoadIconW(IDR_MAINFRAME);
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(app.LoadIconW(IDR_MAINFRAME), icon);
    EXPECT_EQ(app.LoadIconW(4242), nullptr);

    TestDialog dlg;
    ASSERT_TRUE(dlg.Create());
    EXPECT_EQ(dlg.SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon)), 0);
    EXPECT_EQ(dlg.GetIcon(TRUE), icon);
    EXPECT_EQ(dlg.GetIcon(FALSE), nullptr);
    const QList<QSize> sizes = WindowOf(&dlg)->windowIcon().availableSizes();
    for (int side : {16, 32, 48}) EXPECT_TRUE(sizes.contains(QSize(side, side))) << side;
}

namespace {

// Paints the icon through a paint context, as a minimised window does.
class IconDialog : public CDialog {
public:
    explicit IconDialog(HICON icon) : CDialog(IDD_MAIN_DIALOG), m_icon(icon) {}
    void OnPaint() {
        CPaintDC dc(this);
        SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
        painted = dc.DrawIcon(4, 4, m_icon) != FALSE;
    }
    bool painted = false;

protected:
    DECLARE_MESSAGE_MAP()

private:
    HICON m_icon;
};

BEGIN_MESSAGE_MAP(IconDialog, CDialog)
ON_WM_PAINT()
END_MESSAGE_MAP()

}  // namespace

TEST(FwPaintTest, APaintHandlerDrawsTheIconThroughItsPaintContext) {
    CWinApp app;
    IconDialog dlg(app.LoadIconW(IDR_MAINFRAME));
    ASSERT_TRUE(dlg.Create());
    const QImage img = Grab(&dlg);
    EXPECT_TRUE(dlg.painted);
    const QColor background = WindowOf(&dlg)->palette().color(QPalette::Window);
    const int drawn =
        CountPixels(img, RECT{4, 4, 36, 36}, [&](QColor c) { return c.rgb() != background.rgb(); });
    EXPECT_GT(drawn, 32 * 32 / 4);
    // Outside a paint a paint context draws nothing.
    CPaintDC outside(&dlg);
    EXPECT_FALSE(outside.DrawIcon(0, 0, app.LoadIconW(IDR_MAINFRAME)));
}

TEST(FwMessageBoxTest, TheHookReceivesTextAndCaption) {
    std::u16string text, caption;
    SetMessageBoxHook([&](std::u16string t, std::u16string c) {
        text = std::move(t);
        caption = std::move(c);
    });
    EXPECT_EQ(MessageBoxW(nullptr, u"初始化检测失败", u"Kestrune Orvane  1.0.3.0", MB_OK), IDOK);
    SetMessageBoxHook({});
    EXPECT_EQ(text, u"初始化检测失败");
    EXPECT_EQ(caption, u"Kestrune Orvane  1.0.3.0");
}
