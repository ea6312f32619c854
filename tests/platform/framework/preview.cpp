// A manual look at the framework: template 102 with the program's colours,
// banner font and icon. Run under Xvfb and take a screenshot, e.g.
//   xvfb-run -a sh -c 'framework_preview 4000 & sleep 2; import -window root /tmp/fw.png; wait'
// The window closes itself after the given milliseconds (default 5000).
#include <cstdlib>

#include "platform/framework/afxwin.h"
#include "res/resource.h"

namespace {

class PreviewDialog : public CDialog {
public:
    explicit PreviewDialog(UINT lifetime) : CDialog(IDD_MAIN_DIALOG), m_lifetime(lifetime) {}
    void OnTimer(UINT_PTR) { DestroyWindow(); }
    HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor) {
        HBRUSH brush = CDialog::OnCtlColor(pDC, pWnd, nCtlColor);
        switch (pWnd->GetDlgCtrlID()) {
            case IDC_SOURCE_GROUP:
            case IDC_SAVE_GROUP:
                pDC->SetTextColor(RGB(0, 152, 0));
                pDC->SetBkMode(TRANSPARENT);
                break;
            case IDC_BANNER:
                pDC->SetTextColor(RGB(231, 86, 16));
                pDC->SetBkMode(TRANSPARENT);
                break;
            case IDC_STATUS_MESSAGE:
                pDC->SetTextColor(RGB(255, 0, 0));
                pDC->SetBkMode(TRANSPARENT);
                break;
        }
        return brush;
    }

protected:
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        if (CWinApp* app = AfxGetApp()) SetIcon(app->LoadIconW(IDR_MAINFRAME), TRUE);
        CClientDC dc(this);
        LOGFONTW lf{};
        lf.lfHeight = -(dc.GetDeviceCaps(LOGPIXELSY) * 280 / 720);
        lf.lfCharSet = DEFAULT_CHARSET;
        const char16_t face[] = u"楷体_GB2312";
        for (int i = 0; face[i]; ++i) lf.lfFaceName[i] = face[i];
        m_banner.CreateFontIndirectW(&lf);
        GetDlgItem(IDC_BANNER)->SetFont(&m_banner, FALSE);
        SetDlgItemTextW(IDC_SOURCE_PATH, u"C:\\Pictures\\");
        SetDlgItemTextW(IDC_SAVE_PATH, u"C:\\ORV_Save\\");
        SetDlgItemTextW(IDC_PREFIX, u"_ORV_");
        SetDlgItemTextW(IDC_SUFFIX, u"_ORV");
        CheckDlgButton(IDC_FORMAT_PNG, BST_CHECKED);
        CheckDlgButton(IDC_POLICY_PREFIX, BST_CHECKED);
        GetDlgItem(IDC_SUFFIX)->EnableWindow(FALSE);
        GetDlgItem(IDC_STOP)->EnableWindow(FALSE);
        SetWindowTextW(u"Kestrune Orvane  1.0.3.0");
        SetTimer(1, m_lifetime, nullptr);
        return TRUE;
    }
    DECLARE_MESSAGE_MAP()

private:
    UINT m_lifetime;
    CFont m_banner;
};

BEGIN_MESSAGE_MAP(PreviewDialog, CDialog)
ON_WM_CTLCOLOR()
ON_WM_TIMER()
END_MESSAGE_MAP()

class PreviewApp : public CWinApp {
public:
    UINT lifetime = 5000;
    BOOL InitInstance() override {
        PreviewDialog dlg(lifetime);
        m_pMainWnd = &dlg;
        dlg.DoModal();
        return FALSE;
    }
};

}  // namespace

int main(int argc, char** argv) {
    PreviewApp app;
    if (argc > 1) app.lifetime = static_cast<UINT>(std::atoi(argv[1]));
    return AfxWinMain(argc, argv);
}
