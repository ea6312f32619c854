// DialogSession: the main window driven through a whole run.
#include "tests/support/dialog_session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "engine/transcode.h"
#include "platform/framework/testing.h"
#include "platform/gdiplus/gdiplus.h"
#include "tests/support/imaging_runtime.h"

namespace testsupport {

const std::vector<int>& FormatBoxes() {
    static const std::vector<int> boxes = [] {
        std::vector<int> ids;
        for (std::size_t i = 0; i < g_mainDialogTemplate.itemCount; ++i) {
            const int id = static_cast<int>(g_mainDialogTemplate.items[i].id);
            for (const FormatRow& row : kFormatTable)
                if (row.checkboxId == id) ids.push_back(id);
        }
        return ids;
    }();
    return boxes;
}

const DialogItemTemplate& TemplateItem(int id) {
    for (std::size_t i = 0; i < g_mainDialogTemplate.itemCount; ++i)
        if (static_cast<int>(g_mainDialogTemplate.items[i].id) == id)
            return g_mainDialogTemplate.items[i];
    ADD_FAILURE() << "template 102 has no control " << id;
    static const DialogItemTemplate none{};
    return none;
}

bool WaitUntil(const std::string& what, const std::function<bool()>& pred,
               std::chrono::milliseconds deadline) {
    if (afx::testing::PumpUntil(pred, deadline)) return true;
    ADD_FAILURE() << "waited " << deadline.count() << " ms in vain for " << what;
    return false;
}

bool UseImagingRuntime() {
    static const bool registered = [] {
        ::testing::AddGlobalTestEnvironment(new ImagingRuntimeEnvironment());
        return true;
    }();
    return registered;
}

DialogSession::DialogSession() : m_dlg(std::make_unique<CConverterDlg>(nullptr)) {
    EXPECT_TRUE(m_dlg->Create());
    afx::testing::PumpOnce();
}

DialogSession::~DialogSession() {
    if (WindowAlive()) m_dlg->DestroyWindow();
    afx::testing::PumpOnce();
}

CWnd* DialogSession::Item(int id) const {
    CWnd* item = m_dlg->GetDlgItem(id);
    EXPECT_NE(item, nullptr) << "no control " << id;
    return item;
}

std::u16string DialogSession::Text(int id) const {
    std::u16string text;
    m_dlg->GetDlgItemTextW(id, text);
    return text;
}

std::u16string DialogSession::Caption() const {
    std::u16string text;
    m_dlg->GetWindowTextW(text);
    return text;
}

bool DialogSession::Enabled(int id) const {
    return Item(id)->IsWindowEnabled() != FALSE;
}
bool DialogSession::Visible(int id) const {
    return Item(id)->IsWindowVisible() != FALSE;
}
UINT DialogSession::Check(int id) const {
    return m_dlg->IsDlgButtonChecked(id);
}

int DialogSession::ProgressPos() const {
    CProgressCtrl bar;
    bar.Attach(Item(IDC_PROGRESS)->Impl());
    return bar.GetPos();
}

int DialogSession::FocusId() const {
    CWnd* focus = CWnd::GetFocus();
    return focus != nullptr ? focus->GetDlgCtrlID() : 0;
}

bool DialogSession::WindowAlive() const {
    return m_dlg->GetSafeHwnd() != nullptr;
}

int DialogSession::ClosestToColour(int id, int red, int green, int blue) const {
    return afx::testing::ClosestToColour(
        m_dlg.get(), Item(id),
        RGB(static_cast<BYTE>(red), static_cast<BYTE>(green), static_cast<BYTE>(blue)));
}

void DialogSession::Click(int id) {
    afx::testing::Click(Item(id));
}
void DialogSession::Type(int id, const std::u16string& text) {
    afx::testing::Type(Item(id), text);
}

void DialogSession::Apply(const RunSettings& s) {
    Type(IDC_SOURCE_PATH, s.source);
    Type(IDC_SAVE_PATH, s.destination);
    if ((Check(IDC_INCLUDE_SUBFOLDERS) == BST_CHECKED) != s.includeSubfolders)
        Click(IDC_INCLUDE_SUBFOLDERS);
    for (int box : FormatBoxes()) {
        bool wanted = false;
        for (int f : s.formats) wanted = wanted || f == box;
        if ((Check(box) == BST_CHECKED) != wanted) Click(box);
    }
    switch (s.policy) {
        case ClashPolicy::Prefix:
            Click(IDC_POLICY_PREFIX);
            Type(IDC_PREFIX, s.prefix);
            break;
        case ClashPolicy::Suffix:
            Click(IDC_POLICY_SUFFIX);
            Type(IDC_SUFFIX, s.suffix);
            break;
        case ClashPolicy::Overwrite:
            Click(IDC_POLICY_OVERWRITE);
            break;
    }
}

bool DialogSession::RunInProgress() const {
    return State() != RunState::Idle || Text(IDC_START) != kStartCaption;
}

namespace {
// For failure messages; a lone surrogate becomes U+FFFD.
std::string Utf8(const std::u16string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] < 0xE000)
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        else if (c >= 0xD800 && c < 0xE000)
            c = 0xFFFD;
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}
}  // namespace

bool DialogSession::WaitForRunEnd(std::chrono::milliseconds deadline) {
    if (afx::testing::PumpUntil([this] { return !RunInProgress(); }, deadline)) return true;
    const RunCounters c = Counters();
    ADD_FAILURE() << "waited " << deadline.count() << " ms in vain for the run to end; state "
                  << static_cast<int>(State()) << ", button 1016 \"" << Utf8(Text(IDC_START))
                  << "\", " << c.processed << " of " << c.total << " files processed, line 1038 \""
                  << Utf8(Text(IDC_STATUS_COUNTS)) << "\", line 1036 \""
                  << Utf8(Text(IDC_STATUS_MESSAGE)) << "\"";
    return false;
}

void DialogSession::Settle() {
    int quiet = 0;
    RunCounters last = Counters();
    std::u16string lastCaption = Text(IDC_START);
    // Each look pumps for a while: a system's timers tick every 10 ms or so,
    // and an armed step must get its chance to run before the run counts as
    // quiet.
    for (int i = 0; i < 1000 && quiet < 8; ++i) {
        afx::testing::PumpUntil([] { return false; }, std::chrono::milliseconds(10));
        const RunCounters now = Counters();
        const std::u16string caption = Text(IDC_START);
        const bool same = now.processed == last.processed && now.recognised == last.recognised &&
                          now.saved == last.saved && now.expected == last.expected &&
                          caption == lastCaption;
        quiet = same ? quiet + 1 : 0;
        last = now;
        lastCaption = caption;
    }
    if (quiet < 8) ADD_FAILURE() << "the run's counts and button 1016 did not come to rest";
}

namespace {
// The controls a run locks: these and the format boxes.
constexpr int kOptionControls[] = {IDC_SOURCE_PATH,      IDC_SAVE_PATH,     IDC_INCLUDE_SUBFOLDERS,
                                   IDC_SELECT_ALL,       IDC_POLICY_PREFIX, IDC_POLICY_SUFFIX,
                                   IDC_POLICY_OVERWRITE, IDC_BROWSE_SOURCE, IDC_BROWSE_SAVE};
}  // namespace

void ExpectIdleControls(const DialogSession& s) {
    EXPECT_EQ(s.State(), RunState::Idle);
    EXPECT_EQ(s.Text(IDC_START), kStartCaption);
    EXPECT_TRUE(s.Enabled(IDC_START));
    EXPECT_FALSE(s.Enabled(IDC_STOP));
    EXPECT_FALSE(s.Visible(IDC_PROGRESS));
    for (int id : kOptionControls) EXPECT_TRUE(s.Enabled(id)) << id;
    for (int id : FormatBoxes()) EXPECT_TRUE(s.Enabled(id)) << id;
    EXPECT_EQ(s.Enabled(IDC_PREFIX), s.Check(IDC_POLICY_PREFIX) == BST_CHECKED);
    EXPECT_EQ(s.Enabled(IDC_SUFFIX), s.Check(IDC_POLICY_SUFFIX) == BST_CHECKED);
    EXPECT_TRUE(s.Visible(IDC_STATUS_COUNTS));
    EXPECT_TRUE(s.Visible(IDC_STATUS_MESSAGE));
}

void ExpectRunningControls(const DialogSession& s) {
    for (int id : kOptionControls) EXPECT_FALSE(s.Enabled(id)) << id;
    for (int id : FormatBoxes()) EXPECT_FALSE(s.Enabled(id)) << id;
    EXPECT_FALSE(s.Enabled(IDC_PREFIX));
    EXPECT_FALSE(s.Enabled(IDC_SUFFIX));
    EXPECT_TRUE(s.Enabled(IDC_START));
    EXPECT_TRUE(s.Visible(IDC_PROGRESS));
    EXPECT_EQ(s.Enabled(IDC_STOP), s.State() != RunState::Idle);
}

bool RunConversion(DialogSession& session, const RunSettings& settings) {
    session.Apply(settings);
    session.Click(IDC_START);
    return session.WaitForRunEnd();
}

std::pair<unsigned, unsigned> ImageSizeOf(const std::filesystem::path& file) {
    GpBitmap* bitmap = nullptr;
    const std::u16string path = WinPathOf(file);
    if (GdipCreateBitmapFromFile(path.c_str(), &bitmap) != Ok || bitmap == nullptr) return {0, 0};
    UINT w = 0, h = 0;
    GdipGetImageWidth(reinterpret_cast<GpImage*>(bitmap), &w);
    GdipGetImageHeight(reinterpret_cast<GpImage*>(bitmap), &h);
    GdipDisposeImage(reinterpret_cast<GpImage*>(bitmap));
    return {w, h};
}

namespace {
std::u16string Num(int v) {
    const std::string text = std::to_string(v);
    return std::u16string(text.begin(), text.end());
}
}  // namespace

// Built by appending, for the same GCC 12 warning as NumberedName.
std::u16string ProgressLine(int processed, int total, int recognised, int saved) {
    std::u16string text = u"已处理文件数： ";
    text += Num(processed);
    text += u"；     文件总数： ";
    text += Num(total);
    text += u"；     可识别图片文件数： ";
    text += Num(recognised);
    text += u"；     已保存文件数： ";
    text += Num(saved);
    text += u"；";
    return text;
}

std::u16string FinalLine(int processed, int total, int recognised, int saved, int expected) {
    std::u16string text = ProgressLine(processed, total, recognised, saved);
    text.pop_back();
    text += u"；     应保存文件数： ";
    text += Num(expected);
    text += u"；";
    return text;
}

}  // namespace testsupport
