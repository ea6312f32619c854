// CWnd and CDialog, and the one place where messages reach the message table.
#include "afxwin.h"

#include <QApplication>
#include <QEventLoop>
#include <QWidget>

#include "framework_impl.h"
#include "platform/win32/resources.h"
#include "platform/win32/winuser.h"

using afx::WindowImpl;

namespace {

QString FromWide(LPCWSTR s) {
    return s ? QString::fromUtf16(s) : QString();
}

int StoreText(const QString& text, std::u16string& out) {
    out = text.toStdU16String();
    return static_cast<int>(out.size());
}

}  // namespace

// --- Dispatch ---------------------------------------------------------------

bool WindowImpl::Dispatch(CWnd* wnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    const AFX_MSGMAP_ENTRY* entry = afx::FindEntry(wnd->GetMessageMap(), message, wParam);
    if (!entry) return false;
    WindowImpl* impl = wnd->m_impl;
    if (impl) impl->inHand.push_back({message, wParam, lParam});
    *result = entry->pfnThunk(wnd, wParam, lParam);
    // The handler may have destroyed the window, never the WindowImpl.
    if (impl && !impl->inHand.empty()) impl->inHand.pop_back();
    return true;
}

bool WindowImpl::HasEntry(const CWnd* wnd, UINT message) {
    return afx::FindEntry(wnd->GetMessageMap(), message, 0) != nullptr;
}

LRESULT WindowImpl::Send(CWnd* wnd, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (Dispatch(wnd, message, wParam, lParam, &result)) return result;
    return DefaultProcessing(wnd, message, wParam, lParam);
}

LRESULT WindowImpl::DefaultProcessing(CWnd* wnd, UINT message, WPARAM wParam, LPARAM lParam) {
    WindowImpl* impl = wnd->m_impl;
    switch (message) {
        case WM_CLOSE:
            // A dialog turns the close box into its cancel command.
            if (impl && impl->isDialog)
                return Send(wnd, WM_COMMAND, afx::MakeCommandParam(IDCANCEL, BN_CLICKED), 0);
            wnd->DestroyWindow();
            return 0;
        case WM_SETICON:
            return reinterpret_cast<LRESULT>(
                wnd->SetIcon(reinterpret_cast<HICON>(lParam), wParam == ICON_BIG));
        case WM_ICONERASEBKGND: {
            auto* dc = reinterpret_cast<afx::DcImpl*>(wParam);
            if (!dc || !dc->painter || !dc->device) return 0;
            dc->painter->fillRect(dc->device->rect(),
                                  dc->device->palette().color(QPalette::Window));
            return 1;
        }
        case WM_CTLCOLOR:
            return reinterpret_cast<LRESULT>(afx::DefaultBrush());
        case WM_PAINT:
            // Qt has painted the background already; outside a paint, ask for one.
            if (impl && impl->widget && !impl->inPaint) impl->widget->update();
            return 0;
        default:
            return 0;
    }
}

// --- CWnd -------------------------------------------------------------------

LRESULT CWnd::Default() {
    if (!m_impl || m_impl->inHand.empty()) return 0;
    const WindowImpl::Message m = m_impl->inHand.back();
    return WindowImpl::DefaultProcessing(this, m.message, m.wParam, m.lParam);
}

HWND CWnd::GetSafeHwnd() const {
    return afx::HwndOf(m_impl);
}
int CWnd::GetDlgCtrlID() const {
    return m_impl ? static_cast<int>(m_impl->Id()) : 0;
}

void CWnd::CheckDlgButton(int nIDButton, UINT nCheck) {
    if (CWnd* item = GetDlgItem(nIDButton); item && item->m_impl)
        afx::SetCheckState(*item->m_impl, nCheck);
}

UINT CWnd::IsDlgButtonChecked(int nIDButton) const {
    const CWnd* item = GetDlgItem(nIDButton);
    return item && item->m_impl ? afx::CheckState(*item->m_impl) : BST_UNCHECKED;
}

void CWnd::SetWindowTextW(LPCWSTR lpszString) {
    if (m_impl && m_impl->Alive()) afx::SetWindowText(*m_impl, FromWide(lpszString));
}

int CWnd::GetWindowTextW(std::u16string& rString) const {
    if (!m_impl || !m_impl->Alive()) {
        rString.clear();
        return 0;
    }
    return StoreText(afx::WindowText(*m_impl), rString);
}

int CWnd::GetWindowTextLengthW() const {
    return m_impl && m_impl->Alive() ? static_cast<int>(afx::WindowText(*m_impl).size()) : 0;
}

BOOL CWnd::EnableWindow(BOOL bEnable) {
    if (!m_impl || !m_impl->Alive()) return FALSE;
    const bool wasDisabled = m_impl->widget->testAttribute(Qt::WA_ForceDisabled);
    m_impl->widget->setEnabled(bEnable != FALSE);
    if (!m_impl->isDialog) afx::DrawNow(m_impl->widget);
    return wasDisabled ? TRUE : FALSE;
}

BOOL CWnd::IsWindowEnabled() const {
    // The window's own flag, as WS_DISABLED: a disabled parent does not count.
    return m_impl && m_impl->Alive() && !m_impl->widget->testAttribute(Qt::WA_ForceDisabled);
}

BOOL CWnd::ShowWindow(int nCmdShow) {
    if (!m_impl || !m_impl->Alive()) return FALSE;
    QWidget* w = m_impl->widget;
    const BOOL wasVisible = IsWindowVisible();
    if (nCmdShow == SW_HIDE) {
        w->hide();
    } else if (!m_impl->isDialog) {
        w->show();
    } else if (nCmdShow == SW_SHOWMINIMIZED) {
        w->showMinimized();
    } else if (nCmdShow == SW_RESTORE || nCmdShow == SW_SHOWNORMAL) {
        w->showNormal();
    } else {
        w->show();
    }
    return wasVisible;
}

BOOL CWnd::IsWindowVisible() const {
    if (!m_impl || !m_impl->Alive()) return FALSE;
    // A control's own visible flag (WS_VISIBLE), shown or not yet shown.
    if (!m_impl->isDialog) return !m_impl->widget->isHidden();
    return m_impl->widget->isVisible();
}

BOOL CWnd::IsIconic() const {
    return m_impl && m_impl->isDialog && m_impl->Alive() && m_impl->widget->isMinimized();
}

CWnd* CWnd::SetFocus() {
    CWnd* previous = GetFocus();
    if (!m_impl || !m_impl->Alive()) return previous;
    QWidget* w = m_impl->widget;
    QWidget* window = w->window();
    if (window->isVisible() && !window->isActiveWindow()) afx::ActivateWindow(window);
    w->setFocus(Qt::OtherFocusReason);
    return previous;
}

CWnd* CWnd::GetFocus() {
    QWidget* focus = QApplication::focusWidget();
    if (!focus) return nullptr;
    auto* impl = afx::ImplOfWidget(focus);
    if (!impl) return nullptr;
    if (impl->isDialog) return impl->host ? impl->host->Dialog() : nullptr;
    return impl->object.get();
}

void CWnd::SetFont(CFont* pFont, BOOL bRedraw) {
    if (!m_impl || !m_impl->Alive() || !pFont || !pFont->Impl()) return;
    m_impl->widget->setFont(pFont->Impl()->font);
    if (bRedraw) m_impl->widget->update();
}

HICON CWnd::SetIcon(HICON hIcon, BOOL bBigIcon) {
    if (!m_impl) return nullptr;
    HICON& slot = m_impl->icons[bBigIcon ? 1 : 0];
    HICON previous = slot;
    slot = hIcon;
    if (m_impl->Alive() && m_impl->isDialog) {
        // Qt has one window icon; the large one wins, as the taskbar shows it.
        HICON shown = m_impl->icons[1] ? m_impl->icons[1] : m_impl->icons[0];
        m_impl->widget->setWindowIcon(shown ? afx::IconOf(shown)->icon : QIcon());
    }
    return previous;
}

HICON CWnd::GetIcon(BOOL bBigIcon) const {
    return m_impl ? m_impl->icons[bBigIcon ? 1 : 0] : nullptr;
}

void CWnd::GetClientRect(RECT* lpRect) const {
    if (!lpRect) return;
    *lpRect = RECT{0, 0, 0, 0};
    if (!m_impl || !m_impl->Alive()) return;
    lpRect->right = m_impl->widget->width();
    lpRect->bottom = m_impl->widget->height();
}

void CWnd::Invalidate(BOOL) {
    if (m_impl && m_impl->Alive()) m_impl->widget->update();
}

void CWnd::UpdateWindow() {
    if (m_impl && m_impl->Alive() && m_impl->widget->isVisible() && !m_impl->inPaint)
        m_impl->widget->repaint();
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return WindowImpl::Send(this, message, wParam, lParam);
}

UINT_PTR CWnd::SetTimer(UINT_PTR nIDEvent, UINT nElapse, TIMERPROC lpfnTimer) {
    // Timers belong to the dialog's window, which delivers WM_TIMER.
    if (!m_impl || !m_impl->isDialog || !m_impl->host) return 0;
    return m_impl->host->SetTimer(nIDEvent, nElapse, lpfnTimer);
}

BOOL CWnd::KillTimer(UINT_PTR nIDEvent) {
    if (!m_impl || !m_impl->isDialog || !m_impl->host) return FALSE;
    return m_impl->host->KillTimer(nIDEvent) ? TRUE : FALSE;
}

BOOL CWnd::DestroyWindow() {
    if (!m_impl || !m_impl->Alive()) return FALSE;
    if (m_impl->isDialog && m_impl->host) {
        m_impl->host->Destroy();
        return TRUE;
    }
    QWidget* w = m_impl->widget;
    w->hide();
    w->deleteLater();
    m_impl->widget.clear();
    return TRUE;
}

void CWnd::OnPaint() {
    WindowImpl::DefaultProcessing(this, WM_PAINT, 0, 0);
}
void CWnd::OnClose() {
    WindowImpl::DefaultProcessing(this, WM_CLOSE, 0, 0);
}
HBRUSH CWnd::OnCtlColor(CDC*, CWnd*, UINT) {
    return afx::DefaultBrush();
}
// Qt never asks for a drag icon (no window manager drags the icon of a
// minimised window any more); the entry stays reachable through SendMessage.
HCURSOR CWnd::OnQueryDragIcon() {
    return nullptr;
}

// --- Controls ---------------------------------------------------------------

int CButton::GetCheck() const {
    return m_impl ? static_cast<int>(afx::CheckState(*m_impl)) : BST_UNCHECKED;
}

void CButton::SetCheck(int nCheck) {
    if (m_impl) afx::SetCheckState(*m_impl, static_cast<UINT>(nCheck));
}

void CProgressCtrl::SetRange(short nLower, short nUpper) {
    if (m_impl) afx::SetProgress(*m_impl, nLower, nUpper, m_impl->pos);
}

void CProgressCtrl::GetRange(int& nLower, int& nUpper) const {
    nLower = m_impl ? m_impl->rangeLow : 0;
    nUpper = m_impl ? m_impl->rangeHigh : 0;
}

int CProgressCtrl::SetPos(int nPos) {
    if (!m_impl) return 0;
    const int previous = m_impl->pos;
    afx::SetProgress(*m_impl, m_impl->rangeLow, m_impl->rangeHigh, nPos);
    return previous;
}

int CProgressCtrl::GetPos() const {
    return m_impl ? m_impl->pos : 0;
}

// --- CDialog ----------------------------------------------------------------

BOOL CDialog::CreateFromTemplate() {
    const win32::ResourceEntry* res =
        win32::FindResourceEntry(win32::ResourceType::Dialog, m_nIDTemplate);
    if (!res || !res->data || !QApplication::instance()) return FALSE;
    if (afx::DialogHost* old = Host()) old->Destroy();
    m_hosts.push_back(std::make_unique<afx::DialogHost>(this));
    afx::DialogHost* host = m_hosts.back().get();
    QWidget* parent =
        m_pParentWnd && m_pParentWnd->Impl() ? m_pParentWnd->Impl()->widget.data() : nullptr;
    host->Build(*static_cast<const DialogTemplate*>(res->data), parent);
    m_impl = &host->Window();
    const BOOL focusFirst = OnInitDialog();
    if (!host->Destroyed() && !host->Ended()) host->Show(focusFirst != FALSE);
    return TRUE;
}

INT_PTR CDialog::DoModal() {
    if (!CreateFromTemplate()) return -1;
    afx::DialogHost* host = Host();
    if (!host->Destroyed() && !host->Ended()) {
        QEventLoop loop;
        host->SetLoop(&loop);
        loop.exec();
        host->SetLoop(nullptr);
    }
    const int result = host->Result();
    host->Destroy();
    return result;
}
