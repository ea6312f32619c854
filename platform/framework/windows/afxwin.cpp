// CWnd and CDialog over real windows, and the dialog procedure: the one place
// where the system's messages reach the message table.
#include <map>
#include <string_view>

#include "framework.h"
#include "platform/framework/dropfiles.h"
#include "platform/win32/resources.h"

using afx::DialogHost;
using afx::WindowImpl;

namespace {

// Windows of ours, dialogs and controls, to their host.
std::map<HWND, DialogHost*>& Hosts() {
    static std::map<HWND, DialogHost*> hosts;
    return hosts;
}

INT_PTR DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    DialogHost* host = nullptr;
    if (message == sys::WM_INITDIALOG) {
        host = reinterpret_cast<DialogHost*>(lParam);
        host->Window().hwnd = hwnd;
        Hosts()[hwnd] = host;
    } else {
        host = DialogHost::Of(hwnd);
    }
    if (host == nullptr || host->Window().hwnd != hwnd) return FALSE;
    INT_PTR result = 0;
    return host->Handle({message, wParam, lParam}, &result) ? result : FALSE;
}

// A themed group box (Common Controls 6) draws its caption in the theme's
// colour and ignores the text colour that the dialog sets for it in
// WM_CTLCOLORSTATIC; drawn unthemed, it keeps the dialog's colour. The other
// controls keep the theme. A class list that names no class (" ", not "",
// which would mean "the control's own") is how a window opts out.
void UnthemeGroupBoxes(HWND dialog) {
    for (HWND child = sys::GetWindow(dialog, sys::GW_CHILD); child != nullptr;
         child = sys::GetWindow(child, GW_HWNDNEXT)) {
        char16_t name[16] = {};
        const int n = sys::GetClassNameW(child, name, 16);
        const auto style = sys::GetWindowLongPtrW(child, sys::GWL_STYLE);
        if (std::u16string_view(name, static_cast<std::size_t>(n > 0 ? n : 0)) == u"Button" &&
            (style & sys::BS_TYPEMASK) == sys::BS_GROUPBOX)
            sys::SetWindowTheme(child, u" ", u" ");
    }
}

bool Alive(const CWnd* wnd) {
    return wnd->Impl() != nullptr && wnd->Impl()->Alive();
}

HWND Hwnd(const CWnd* wnd) {
    return Alive(wnd) ? wnd->Impl()->hwnd : nullptr;
}

}  // namespace

namespace afx {

DialogHost::DialogHost(CDialog* dialog) : m_dialog(dialog) {
    m_window.host = this;
    m_window.isDialog = true;
}

DialogHost::~DialogHost() {
    Destroy();
}

DialogHost* DialogHost::Of(HWND hwnd) {
    const auto it = Hosts().find(hwnd);
    return it == Hosts().end() ? nullptr : it->second;
}

bool DialogHost::Build(const DialogTemplate& tmpl, HWND parent) {
    m_template = BuildDialogTemplate(tmpl);
    const HWND hwnd =
        sys::CreateDialogIndirectParamW(sys::GetModuleHandleW(nullptr), m_template.data(), parent,
                                        &DialogProc, reinterpret_cast<LPARAM>(this));
    return hwnd != nullptr || m_destroyed;
}

void DialogHost::Show() {
    if (!m_window.Alive()) return;
    sys::ShowWindow(m_window.hwnd, SW_SHOWNORMAL);
    sys::SetForegroundWindow(m_window.hwnd);
}

void DialogHost::End(int result) {
    if (m_ended) return;
    m_ended = true;
    m_result = result;
    if (!m_window.Alive()) return;
    sys::ShowWindow(m_window.hwnd, SW_HIDE);
    // Wakes the loop, which looks at the flag after each message.
    sys::PostMessageW(m_window.hwnd, sys::WM_NULL, 0, 0);
}

void DialogHost::Destroy() {
    if (m_window.Alive()) sys::DestroyWindow(m_window.hwnd);
    Forget();
}

// The window is gone: every binding to it or its controls goes dead.
void DialogHost::Forget() {
    if (m_destroyed) return;
    m_destroyed = true;
    ForgetTimers(m_window.hwnd);
    for (auto it = Hosts().begin(); it != Hosts().end();)
        it = it->second == this ? Hosts().erase(it) : std::next(it);
    m_window.hwnd = nullptr;
    for (auto& control : m_controls) control->hwnd = nullptr;
    OnWindowDestroyed(m_dialog);
}

void DialogHost::RunLoop() {
    sys::MSG msg{};
    while (!m_ended && !m_destroyed) {
        const Taken got = TakeMessage(msg, true);
        if (got != Taken::Message) {
            // A quit meant for an outer loop is passed on to it.
            if (got == Taken::Quit) sys::PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (m_window.Alive() && sys::IsDialogMessageW(m_window.hwnd, &msg)) continue;
        sys::TranslateMessage(&msg);
        sys::DispatchMessageW(&msg);
    }
}

WindowImpl* DialogHost::Control(int id) {
    if (!m_window.Alive()) return nullptr;
    const HWND hwnd = sys::GetDlgItem(m_window.hwnd, id);
    if (hwnd == nullptr) return nullptr;
    for (auto& control : m_controls)
        if (control->hwnd == hwnd) return control.get();
    auto control = std::make_unique<WindowImpl>();
    control->hwnd = hwnd;
    control->host = this;
    control->object = std::make_unique<CWnd>();
    control->object->Attach(control.get());
    Hosts()[hwnd] = this;
    m_controls.push_back(std::move(control));
    return m_controls.back().get();
}

bool DialogHost::Dispatch(const Message& table, const Message& system, LRESULT* result) {
    const AFX_MSGMAP_ENTRY* entry =
        afx::FindEntry(WindowImpl::MapOf(m_dialog), table.message, table.wParam);
    if (entry == nullptr) return false;
    m_window.inHand.push_back(system);
    *result = entry->pfnThunk(m_dialog, table.wParam, table.lParam);
    // The handler may have destroyed the window, never this host.
    if (!m_window.inHand.empty()) m_window.inHand.pop_back();
    return true;
}

// WM_CTLCOLOR* becomes the message table's one WM_CTLCOLOR, with the control
// and a device context of the system's.
bool DialogHost::CtlColor(const Message& m, INT_PTR* result) {
    UINT type = CTLCOLOR_STATIC;
    switch (m.message) {
        case sys::WM_CTLCOLOREDIT:
            type = CTLCOLOR_EDIT;
            break;
        case sys::WM_CTLCOLORBTN:
            type = CTLCOLOR_BTN;
            break;
        case sys::WM_CTLCOLORDLG:
            type = CTLCOLOR_DLG;
            break;
        default:
            break;
    }
    CWnd* control = m_dialog;
    if (m.message != sys::WM_CTLCOLORDLG) {
        WindowImpl* impl = Control(sys::GetDlgCtrlID(reinterpret_cast<HWND>(m.lParam)));
        if (impl == nullptr) return false;
        control = impl->object.get();
    }
    DcImpl dc;
    dc.hdc = reinterpret_cast<HDC>(m.wParam);
    CDC cdc(&dc);
    AFX_CTLCOLOR args{&cdc, control, type};
    LRESULT brush = 0;
    if (!Dispatch({WM_CTLCOLOR, 0, reinterpret_cast<LPARAM>(&args)}, m, &brush)) return false;
    *result = brush;
    return true;
}

bool DialogHost::Handle(const Message& m, INT_PTR* result) {
    LRESULT r = 0;
    switch (m.message) {
        case sys::WM_INITDIALOG:
            UnthemeGroupBoxes(m_window.hwnd);
            // TRUE: the dialog manager focuses the first tab stop.
            *result = m_dialog->OnInitDialog();
            return true;
        case sys::WM_CTLCOLORSTATIC:
        case sys::WM_CTLCOLOREDIT:
        case sys::WM_CTLCOLORBTN:
        case sys::WM_CTLCOLORDLG:
            return CtlColor(m, result);
        case WM_QUERYDRAGICON:
            // One of the messages whose answer is the procedure's own result.
            if (!Dispatch(m, &r)) return false;
            *result = r;
            return true;
        case WM_CLOSE:
            if (!Dispatch(m, &r)) DefaultProcessing(m_window, m);
            *result = TRUE;
            return true;
        case sys::WM_DESTROY:
            Forget();
            return false;
        case sys::WM_ENTERSIZEMOVE:
        case sys::WM_ENTERMENULOOP:
        case sys::WM_ENTERIDLE:
            // A loop of the system's or of a dialog owned by ours runs now.
            EnterForeignLoop();
            return false;
        case WM_COMMAND:
        case WM_TIMER:
        case WM_PAINT:
        case WM_DROPFILES:
            if (!Dispatch(m, &r)) return false;
            if (m_window.Alive()) sys::SetWindowLongPtrW(m_window.hwnd, sys::DWLP_MSGRESULT, r);
            *result = TRUE;
            return true;
        default:
            return false;
    }
}

// The one place where the close box (WM_CLOSE) of a dialog becomes its cancel
// command, as the dialog manager makes it; anything else is the system's.
LRESULT DialogHost::DefaultProcessing(const WindowImpl& window, const Message& m) {
    if (m.message == WM_CLOSE && window.isDialog)
        return sys::SendMessageW(window.hwnd, WM_COMMAND, MakeCommandParam(IDCANCEL, BN_CLICKED),
                                 0);
    return sys::DefWindowProcW(window.hwnd, m.message, m.wParam, m.lParam);
}

}  // namespace afx

// --- CWnd -------------------------------------------------------------------

// The system's default processing of the message being handled.
LRESULT CWnd::Default() {
    if (!m_impl || !m_impl->host || !m_impl->Alive()) return 0;
    const std::vector<WindowImpl::Message>& inHand = m_impl->host->Window().inHand;
    if (inHand.empty()) return 0;
    return afx::DialogHost::DefaultProcessing(*m_impl, inHand.back());
}

HWND CWnd::GetSafeHwnd() const {
    return m_impl ? m_impl->hwnd : nullptr;
}

int CWnd::GetDlgCtrlID() const {
    return Alive(this) && !m_impl->isDialog ? sys::GetDlgCtrlID(m_impl->hwnd) : 0;
}

void CWnd::CheckDlgButton(int nIDButton, UINT nCheck) {
    if (CWnd* item = GetDlgItem(nIDButton))
        sys::SendMessageW(item->GetSafeHwnd(), sys::BM_SETCHECK, nCheck, 0);
}

UINT CWnd::IsDlgButtonChecked(int nIDButton) const {
    const CWnd* item = GetDlgItem(nIDButton);
    return item ? static_cast<UINT>(sys::SendMessageW(item->GetSafeHwnd(), sys::BM_GETCHECK, 0, 0))
                : BST_UNCHECKED;
}

void CWnd::SetWindowTextW(LPCWSTR lpszString) {
    if (Alive(this)) sys::SetWindowTextW(m_impl->hwnd, lpszString != nullptr ? lpszString : u"");
}

int CWnd::GetWindowTextW(std::u16string& rString) const {
    rString.clear();
    if (!Alive(this)) return 0;
    const int length = sys::GetWindowTextLengthW(m_impl->hwnd);
    if (length <= 0) return 0;
    rString.resize(static_cast<std::size_t>(length) + 1);
    const int copied = sys::GetWindowTextW(m_impl->hwnd, rString.data(), length + 1);
    rString.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    return static_cast<int>(rString.size());
}

int CWnd::GetWindowTextLengthW() const {
    return Alive(this) ? sys::GetWindowTextLengthW(m_impl->hwnd) : 0;
}

BOOL CWnd::EnableWindow(BOOL bEnable) {
    return Alive(this) ? sys::EnableWindow(m_impl->hwnd, bEnable) : FALSE;
}

BOOL CWnd::IsWindowEnabled() const {
    return Alive(this) ? sys::IsWindowEnabled(m_impl->hwnd) : FALSE;
}

BOOL CWnd::ShowWindow(int nCmdShow) {
    return Alive(this) ? sys::ShowWindow(m_impl->hwnd, nCmdShow) : FALSE;
}

// A control's own visible flag (WS_VISIBLE), shown or not yet shown; the
// dialog's visibility on the screen.
BOOL CWnd::IsWindowVisible() const {
    if (!Alive(this)) return FALSE;
    if (m_impl->isDialog) return sys::IsWindowVisible(m_impl->hwnd);
    return (sys::GetWindowLongPtrW(m_impl->hwnd, sys::GWL_STYLE) & WS_VISIBLE) != 0;
}

BOOL CWnd::IsIconic() const {
    return Alive(this) && m_impl->isDialog ? sys::IsIconic(m_impl->hwnd) : FALSE;
}

// A control of a dialog takes the focus through the dialog manager, as when
// the user moves to it: a push button becomes the default one, so that Enter
// clicks it.
CWnd* CWnd::SetFocus() {
    CWnd* previous = GetFocus();
    if (!Alive(this)) return previous;
    if (!m_impl->isDialog && m_impl->host && m_impl->host->Window().Alive())
        sys::SendMessageW(m_impl->host->Window().hwnd, sys::WM_NEXTDLGCTL,
                          reinterpret_cast<WPARAM>(m_impl->hwnd), TRUE);
    else
        sys::SetFocus(m_impl->hwnd);
    return previous;
}

CWnd* CWnd::GetFocus() {
    const HWND focus = sys::GetFocus();
    if (focus == nullptr) return nullptr;
    DialogHost* host = DialogHost::Of(focus);
    if (host == nullptr) host = DialogHost::Of(sys::GetParent(focus));
    if (host == nullptr) return nullptr;
    if (host->Window().hwnd == focus) return host->Dialog();
    WindowImpl* control = host->Control(sys::GetDlgCtrlID(focus));
    return control ? control->object.get() : nullptr;
}

void CWnd::SetFont(CFont* pFont, BOOL bRedraw) {
    if (!Alive(this) || !pFont || !pFont->Impl()) return;
    sys::SendMessageW(m_impl->hwnd, sys::WM_SETFONT, reinterpret_cast<WPARAM>(pFont->Impl()->font),
                      bRedraw);
}

HICON CWnd::SetIcon(HICON hIcon, BOOL bBigIcon) {
    if (!Alive(this)) return nullptr;
    return reinterpret_cast<HICON>(sys::SendMessageW(m_impl->hwnd, sys::WM_SETICON,
                                                     bBigIcon ? ICON_BIG : ICON_SMALL,
                                                     reinterpret_cast<LPARAM>(hIcon)));
}

HICON CWnd::GetIcon(BOOL bBigIcon) const {
    if (!Alive(this)) return nullptr;
    return reinterpret_cast<HICON>(
        sys::SendMessageW(m_impl->hwnd, sys::WM_GETICON, bBigIcon ? ICON_BIG : ICON_SMALL, 0));
}

void CWnd::GetClientRect(RECT* lpRect) const {
    if (!lpRect) return;
    *lpRect = RECT{0, 0, 0, 0};
    if (Alive(this)) sys::GetClientRect(m_impl->hwnd, lpRect);
}

void CWnd::Invalidate(BOOL bErase) {
    if (Alive(this)) sys::InvalidateRect(m_impl->hwnd, nullptr, bErase);
}

void CWnd::UpdateWindow() {
    if (Alive(this)) sys::UpdateWindow(m_impl->hwnd);
}

// The framework's own WM_CTLCOLOR (its arguments in a structure of ours) goes
// straight to the message table; everything else is the system's message.
LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CTLCOLOR) {
        const AFX_MSGMAP_ENTRY* entry = afx::FindEntry(GetMessageMap(), message, wParam);
        return entry != nullptr ? entry->pfnThunk(this, wParam, lParam)
                                : reinterpret_cast<LRESULT>(OnCtlColor(nullptr, nullptr, 0));
    }
    return Alive(this) ? sys::SendMessageW(m_impl->hwnd, message, wParam, lParam) : 0;
}

UINT_PTR CWnd::SetTimer(UINT_PTR nIDEvent, UINT nElapse, TIMERPROC lpfnTimer) {
    if (!Alive(this) || !m_impl->isDialog) return 0;
    return afx::ArmTimer(m_impl->hwnd, nIDEvent, nElapse, reinterpret_cast<void*>(lpfnTimer));
}

BOOL CWnd::KillTimer(UINT_PTR nIDEvent) {
    return Alive(this) && m_impl->isDialog && afx::DisarmTimer(m_impl->hwnd, nIDEvent);
}

BOOL CWnd::DestroyWindow() {
    if (!Alive(this)) return FALSE;
    if (m_impl->isDialog && m_impl->host) {
        m_impl->host->Destroy();
        return TRUE;
    }
    const HWND hwnd = m_impl->hwnd;
    m_impl->hwnd = nullptr;
    return sys::DestroyWindow(hwnd);
}

void CWnd::OnPaint() {
    Default();
}
void CWnd::OnClose() {
    Default();
}
HBRUSH CWnd::OnCtlColor(CDC*, CWnd*, UINT) {
    return reinterpret_cast<HBRUSH>(Default());
}
HCURSOR CWnd::OnQueryDragIcon() {
    return reinterpret_cast<HCURSOR>(Default());
}

// --- Controls ---------------------------------------------------------------

int CButton::GetCheck() const {
    return static_cast<int>(sys::SendMessageW(Hwnd(this), sys::BM_GETCHECK, 0, 0));
}

void CButton::SetCheck(int nCheck) {
    if (Alive(this)) sys::SendMessageW(m_impl->hwnd, sys::BM_SETCHECK, nCheck, 0);
}

void CProgressCtrl::SetRange(short nLower, short nUpper) {
    if (Alive(this)) sys::SendMessageW(m_impl->hwnd, sys::PBM_SETRANGE32, nLower, nUpper);
}

void CProgressCtrl::GetRange(int& nLower, int& nUpper) const {
    int range[2] = {0, 0};
    if (Alive(this))
        sys::SendMessageW(m_impl->hwnd, sys::PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(range));
    nLower = range[0];
    nUpper = range[1];
}

int CProgressCtrl::SetPos(int nPos) {
    return Alive(this) ? static_cast<int>(sys::SendMessageW(m_impl->hwnd, sys::PBM_SETPOS, nPos, 0))
                       : 0;
}

int CProgressCtrl::GetPos() const {
    return Alive(this) ? static_cast<int>(sys::SendMessageW(m_impl->hwnd, sys::PBM_GETPOS, 0, 0))
                       : 0;
}

// --- CDialog ----------------------------------------------------------------

BOOL CDialog::CreateFromTemplate() {
    const win32::ResourceEntry* res =
        win32::FindResourceEntry(win32::ResourceType::Dialog, m_nIDTemplate);
    if (!res || !res->data) return FALSE;
    if (afx::DialogHost* old = Host()) old->Destroy();
    m_hosts.push_back(std::make_unique<afx::DialogHost>(this));
    afx::DialogHost* host = m_hosts.back().get();
    // OnInitDialog runs inside the creation and reaches the controls through
    // the dialog's own window.
    m_impl = &host->Window();
    if (!host->Build(*static_cast<const DialogTemplate*>(res->data),
                     m_pParentWnd ? Hwnd(m_pParentWnd) : nullptr))
        return FALSE;
    if (!host->Destroyed() && !host->Ended()) host->Show();
    return TRUE;
}

INT_PTR CDialog::DoModal() {
    if (!CreateFromTemplate()) return -1;
    afx::DialogHost* host = Host();
    host->RunLoop();
    const int result = host->Result();
    host->Destroy();
    return result;
}
