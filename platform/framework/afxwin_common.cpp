// CWnd and CDialog where they are the same on every system: the message table
// lookup, dialog items, data exchange and the dialog's life. The window
// behind them is the backend's, whose inside the build names.
#include ORV_FRAMEWORK_BACKEND_H

using afx::WindowImpl;

namespace {

bool Matches(const AFX_MSGMAP_ENTRY& e, UINT message, WPARAM wParam) {
    if (e.nMessage != message) return false;
    if (message != WM_COMMAND) return true;
    const UINT id = LOWORD(static_cast<DWORD>(wParam));
    const UINT code = HIWORD(static_cast<DWORD>(wParam));
    return e.nCode == code && id >= e.nID && id <= e.nLastID;
}

}  // namespace

const AFX_MSGMAP_ENTRY* afx::FindEntry(const AFX_MSGMAP* map, UINT message, WPARAM wParam) {
    for (; map; map = map->pfnGetBaseMap ? map->pfnGetBaseMap() : nullptr) {
        for (const AFX_MSGMAP_ENTRY* e = map->lpEntries; e && e->pfnThunk; ++e)
            if (Matches(*e, message, wParam)) return e;
    }
    return nullptr;
}

// --- CWnd -------------------------------------------------------------------

const AFX_MSGMAP* CWnd::GetThisMessageMap() {
    static const AFX_MSGMAP_ENTRY entries[] = {{0, 0, 0, 0, nullptr}};
    static const AFX_MSGMAP map = {nullptr, &entries[0]};
    return &map;
}

const AFX_MSGMAP* CWnd::GetMessageMap() const {
    return GetThisMessageMap();
}

CWnd::CWnd() = default;
CWnd::~CWnd() = default;

CWnd* CWnd::GetDlgItem(int nID) const {
    if (!m_impl || !m_impl->isDialog || !m_impl->host) return nullptr;
    WindowImpl* control = m_impl->host->Control(nID);
    return control ? control->object.get() : nullptr;
}

void CWnd::SetDlgItemTextW(int nID, LPCWSTR lpszString) {
    if (CWnd* item = GetDlgItem(nID)) item->SetWindowTextW(lpszString);
}

int CWnd::GetDlgItemTextW(int nID, std::u16string& rString) const {
    if (const CWnd* item = GetDlgItem(nID)) return item->GetWindowTextW(rString);
    rString.clear();
    return 0;
}

void CWnd::OnTimer(UINT_PTR) {}

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl) {
    if (!pDX || !pDX->m_pDlgWnd) return;
    if (CWnd* item = pDX->m_pDlgWnd->GetDlgItem(nIDC)) rControl.Attach(item->Impl());
}

// --- CDialog ----------------------------------------------------------------

BEGIN_MESSAGE_MAP(CDialog, CWnd)
ON_BN_CLICKED(IDOK, OnOK)
ON_BN_CLICKED(IDCANCEL, OnCancel)
END_MESSAGE_MAP()

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd)
    : m_nIDTemplate(nIDTemplate), m_pParentWnd(pParentWnd) {}

CDialog::~CDialog() {
    if (afx::DialogHost* host = Host()) host->Destroy();
    m_impl = nullptr;
}

BOOL CDialog::Create() {
    return CreateFromTemplate();
}

void CDialog::EndDialog(int nResult) {
    if (afx::DialogHost* host = Host()) host->End(nResult);
}

BOOL CDialog::DestroyWindow() {
    afx::DialogHost* host = Host();
    if (!host || host->Destroyed()) return FALSE;
    host->Destroy();
    return TRUE;
}

BOOL CDialog::UpdateData(BOOL bSaveAndValidate) {
    CDataExchange dx(this, bSaveAndValidate);
    DoDataExchange(&dx);
    return TRUE;
}

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK() {
    if (UpdateData(TRUE)) EndDialog(IDOK);
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

void CDialog::DoDataExchange(CDataExchange*) {}
