// The window's construction, its message table, control bindings and start-up state.
#include "ui/main_dialog.h"

#include "platform/win32/fileapi.h"
#include "platform/win32/shell.h"
#include "res/product.h"
#include "res/resource.h"
#include "util/text.h"

namespace {
constexpr char16_t kBannerFace[] = u"楷体_GB2312";
constexpr char16_t kDefaultSource[] = u"C:\\";
constexpr char16_t kDefaultDestination[] = u"C:\\ORV_Save\\";
}  // namespace

CConverterDlg::CConverterDlg(CWnd* pParent) : CDialog(IDD_MAIN_DIALOG, pParent) {
    m_hIcon = AfxGetApp() != nullptr ? AfxGetApp()->LoadIconW(IDR_MAINFRAME) : nullptr;
}

CConverterDlg::~CConverterDlg() {
    // A window destroyed without OnClose (a test, an early exit) still gives
    // back its run and image before the runtime is shut down.
    ResetRun();
    delete m_pImageDisposer;
    m_pImageDisposer = nullptr;
}

void CConverterDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_PROGRESS, m_progress);
    DDX_Control(pDX, IDC_SOURCE_PATH, m_editSource);
    DDX_Control(pDX, IDC_SAVE_PATH, m_editSaveDir);
    DDX_Control(pDX, IDC_PREFIX, m_editPrefix);
    DDX_Control(pDX, IDC_SUFFIX, m_editSuffix);
    DDX_Control(pDX, IDC_INCLUDE_SUBFOLDERS, m_checkSubfolders);
}

// clang-format off
BEGIN_MESSAGE_MAP(CConverterDlg, CDialog)
    ON_WM_PAINT()
    ON_WM_QUERYDRAGICON()
    ON_WM_CTLCOLOR()
    ON_BN_CLICKED(IDC_BROWSE_SOURCE, OnBrowseSource)
    ON_BN_CLICKED(IDC_BROWSE_SAVE, OnBrowseDestination)
    ON_WM_CLOSE()
    ON_BN_CLICKED(IDC_START, OnStart)
    ON_BN_CLICKED(IDC_SELECT_ALL, OnSelectAllClicked)
    ON_BN_CLICKED(IDC_POLICY_PREFIX, OnPolicyClicked)
    ON_BN_CLICKED(IDC_POLICY_SUFFIX, OnPolicyClicked)
    ON_BN_CLICKED(IDC_POLICY_OVERWRITE, OnPolicyClicked)
    ON_WM_TIMER()
    ON_BN_CLICKED(IDC_STOP, OnStop)
    ON_EN_CHANGE(IDC_PREFIX, OnPrefixChanged)
    ON_EN_CHANGE(IDC_SUFFIX, OnSuffixChanged)
    ON_BN_CLICKED(IDC_OPEN_SOURCE, OnOpenSource)
    ON_BN_CLICKED(IDC_OPEN_SAVE, OnOpenDestination)
    ON_EN_CHANGE(IDC_SOURCE_PATH, OnSourcePathChanged)
    ON_EN_CHANGE(IDC_SAVE_PATH, OnDestinationPathChanged)
    ON_BN_CLICKED(IDC_FORMAT_BMP, OnFormatClicked)
    ON_BN_CLICKED(IDC_FORMAT_GIF, OnFormatClicked)
    ON_BN_CLICKED(IDC_FORMAT_JPEG, OnFormatClicked)
    ON_BN_CLICKED(IDC_FORMAT_PNG, OnFormatClicked)
    ON_BN_CLICKED(IDC_FORMAT_TIFF, OnFormatClicked)
    ON_WM_DROPFILES()
END_MESSAGE_MAP()
// clang-format on

namespace {

std::u16string PicturesFolderOr(std::u16string fallback) {
    PIDLIST_ABSOLUTE item = nullptr;
    SHGetSpecialFolderLocation(nullptr, CSIDL_MYPICTURES, &item);
    if (item == nullptr) return fallback;
    WCHAR buffer[MAX_PATH] = {};
    std::u16string result = fallback;
    if (SHGetPathFromIDListW(item, buffer)) result = buffer;
    ILFree(item);
    return result;
}

// The banner font: 28 points at the screen's resolution, everything else at
// its default. It lives as long as the process, as the window never ends
// before it.
CFont* CreateBannerFont(CWnd* pWnd) {
    LOGFONTW lf{};
    CClientDC screen(pWnd);
    lf.lfHeight = -(screen.GetDeviceCaps(LOGPIXELSY) * 280 / 720);
    lf.lfCharSet = DEFAULT_CHARSET;
    std::char_traits<char16_t>::copy(lf.lfFaceName, kBannerFace,
                                     std::char_traits<char16_t>::length(kBannerFace) + 1);
    auto* font = new CFont();
    font->CreateFontIndirectW(&lf);
    return font;
}

}  // namespace

BOOL CConverterDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    SetIcon(m_hIcon, TRUE);
    m_pImageDisposer = nullptr;
    m_pJobList = nullptr;
    m_pRunSources = nullptr;
    m_pFormats = nullptr;
    m_itJob = {};
    m_itJobEnd = {};
    m_pImage = nullptr;
    m_itFormat = {};
    m_itFormatEnd = {};
    m_nFormatCount = 0;
    m_strStartCaption = u"开      始";
    m_strPauseCaption = u"暂      停";
    m_strContinueCaption = u"继      续";
    m_bReady = false;
    m_runState = RunState::Idle;
    GetDlgItem(IDC_BANNER)->SetFont(CreateBannerFont(this), FALSE);
    m_statusColour = 0;

    const std::u16string source =
        util::NormaliseFolderPath(util::TrimText(PicturesFolderOr(kDefaultSource)));
    SetDlgItemTextW(IDC_SOURCE_PATH, source.c_str());
    SetDlgItemTextW(IDC_SAVE_PATH, kDefaultDestination);
    SetDlgItemTextW(IDC_PREFIX, u"_ORV_");
    SetDlgItemTextW(IDC_SUFFIX, u"_ORV");
    CheckDlgButton(IDC_INCLUDE_SUBFOLDERS, BST_CHECKED);
    CheckDlgButton(IDC_FORMAT_PNG, BST_CHECKED);
    CheckDlgButton(IDC_POLICY_PREFIX, BST_CHECKED);
    m_clashPolicy = ClashPolicy::Prefix;
    GetDlgItem(IDC_PREFIX)->EnableWindow(TRUE);
    GetDlgItem(IDC_SUFFIX)->EnableWindow(FALSE);

    RestoreIdleControls();
    SetDlgItemTextW(IDC_STATUS_COUNTS, u"");
    SetDlgItemTextW(IDC_STATUS_MESSAGE, u"");
    GetDlgItem(IDC_STATUS_COUNTS)->ShowWindow(SW_SHOW);
    GetDlgItem(IDC_STATUS_MESSAGE)->ShowWindow(SW_SHOW);
    UpdateSourceOpenButton();
    UpdateDestinationOpenButton();
    SetWindowTextW(kProductTitle);
    m_pImageDisposer = new CImageDisposer();
    m_bReady = true;
    return TRUE;
}
