// The recording dialog of the framework tests: its message table and handlers.
#include "test_dialog.h"

#include <algorithm>
#include <utility>

BEGIN_MESSAGE_MAP(TestDialog, CDialog)
ON_WM_QUERYDRAGICON()
ON_WM_CTLCOLOR()
ON_WM_CLOSE()
ON_WM_TIMER()
ON_BN_CLICKED(IDC_START, OnClicked<IDC_START>)
ON_BN_CLICKED(IDC_BROWSE_SOURCE, OnClicked<IDC_BROWSE_SOURCE>)
ON_BN_CLICKED(IDC_STOP, OnClicked<IDC_STOP>)
ON_BN_CLICKED(IDC_FORMAT_PNG, OnClicked<IDC_FORMAT_PNG>)
ON_BN_CLICKED(IDC_INCLUDE_SUBFOLDERS, OnClicked<IDC_INCLUDE_SUBFOLDERS>)
ON_BN_CLICKED(IDC_POLICY_PREFIX, OnClicked<IDC_POLICY_PREFIX>)
ON_BN_CLICKED(IDC_POLICY_SUFFIX, OnClicked<IDC_POLICY_SUFFIX>)
ON_BN_CLICKED(IDC_POLICY_OVERWRITE, OnClicked<IDC_POLICY_OVERWRITE>)
ON_EN_CHANGE(IDC_SOURCE_PATH, OnChanged<IDC_SOURCE_PATH>)
ON_EN_CHANGE(IDC_PREFIX, OnChanged<IDC_PREFIX>)
END_MESSAGE_MAP()

std::vector<Event> TestDialog::Take() {
    return std::exchange(events, {});
}

int TestDialog::Count(const std::string& what, UINT_PTR id) const {
    return static_cast<int>(std::count(events.begin(), events.end(), Event{what, id}));
}

void TestDialog::OnClose() {
    events.push_back({"close"});
    if (destroyOnClose) DestroyWindow();
}

void TestDialog::OnTimer(UINT_PTR nIDEvent) {
    if (oneShotTimers.count(nIDEvent)) KillTimer(nIDEvent);
    events.push_back({"timer", nIDEvent});
}

HBRUSH TestDialog::OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor) {
    HBRUSH brush = CDialog::OnCtlColor(pDC, pWnd, nCtlColor);
    const int id = pWnd ? pWnd->GetDlgCtrlID() : 0;
    ctlColorCalls.emplace_back(id, nCtlColor);
    if (auto it = textColours.find(id); it != textColours.end()) {
        pDC->SetTextColor(it->second);
        pDC->SetBkMode(TRANSPARENT);
    }
    return brush;
}

void TestDialog::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_PROGRESS, m_progress);
    DDX_Control(pDX, IDC_SOURCE_PATH, m_editSource);
    DDX_Control(pDX, IDC_INCLUDE_SUBFOLDERS, m_checkSubfolders);
}

BOOL TestDialog::OnInitDialog() {
    CDialog::OnInitDialog();
    if (onInit) onInit(*this);
    return TRUE;
}
