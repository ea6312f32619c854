// Painting, control colours, the drag icon and closing the window.
#include "res/resource.h"
#include "ui/main_dialog.h"

namespace {
constexpr COLORREF kGroupTitleColour = 0x009800;  // green
constexpr COLORREF kBannerColour = 0x1056E7;      // orange-red
}  // namespace

void CConverterDlg::OnPaint() {
    if (!IsIconic()) {
        CDialog::OnPaint();
        return;
    }
    CPaintDC dc(this);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
    const int cxIcon = GetSystemMetrics(SM_CXICON);
    const int cyIcon = GetSystemMetrics(SM_CYICON);
    CRect rect;
    GetClientRect(&rect);
    const int x = (rect.Width() - cxIcon + 1) / 2;
    const int y = (rect.Height() - cyIcon + 1) / 2;
    dc.DrawIcon(x, y, m_hIcon);
}

HCURSOR CConverterDlg::OnQueryDragIcon() {
    return static_cast<HCURSOR>(m_hIcon);
}

HBRUSH CConverterDlg::OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor) {
    HBRUSH brush = CDialog::OnCtlColor(pDC, pWnd, nCtlColor);
    switch (pWnd->GetDlgCtrlID()) {
        case IDC_SOURCE_GROUP:
        case IDC_SAVE_GROUP:
            pDC->SetTextColor(kGroupTitleColour);
            pDC->SetBkMode(TRANSPARENT);
            break;
        case IDC_STATUS_MESSAGE:
            pDC->SetTextColor(m_statusColour);
            pDC->SetBkMode(TRANSPARENT);
            break;
        case IDC_BANNER:
            pDC->SetTextColor(kBannerColour);
            pDC->SetBkMode(TRANSPARENT);
            break;
        default:
            break;
    }
    return brush;
}

void CConverterDlg::OnClose() {
    ResetRun();
    if (m_pImageDisposer != nullptr) {
        delete m_pImageDisposer;
        m_pImageDisposer = nullptr;
    }
    DestroyWindow();
}

// Enter and Esc never close the window: they are Start and Stop.
void CConverterDlg::OnOK() {
    OnStart();
}
void CConverterDlg::OnCancel() {
    OnStop();
}
