// Fonts, device contexts and metrics on Windows: the system's own.
#include "framework.h"

int GetSystemMetrics(int nIndex) {
    return sys::GetSystemMetrics(nIndex);
}

int MulDiv(int nNumber, int nNumerator, int nDenominator) {
    return sys::MulDiv(nNumber, nNumerator, nDenominator);
}

// --- CFont ------------------------------------------------------------------

CFont::CFont() = default;
CFont::~CFont() = default;

// The face is found by the system's font mapper, with its own substitutes.
BOOL CFont::CreateFontIndirectW(const LOGFONTW* lpLogFont) {
    if (!lpLogFont) return FALSE;
    const HFONT font = sys::CreateFontIndirectW(lpLogFont);
    if (font == nullptr) return FALSE;
    m_impl = std::make_unique<afx::FontImpl>();
    m_impl->font = font;
    return TRUE;
}

// --- CDC --------------------------------------------------------------------

CDC::CDC(afx::DcImpl* impl) : m_impl(impl) {}
CDC::~CDC() = default;

HDC CDC::GetSafeHdc() const {
    return m_impl ? m_impl->hdc : nullptr;
}

COLORREF CDC::SetTextColor(COLORREF crColor) {
    return m_impl && m_impl->hdc ? sys::SetTextColor(m_impl->hdc, crColor) : 0;
}

COLORREF CDC::GetTextColor() const {
    return m_impl && m_impl->hdc ? sys::GetTextColor(m_impl->hdc) : 0;
}

int CDC::SetBkMode(int nBkMode) {
    if (!m_impl || !m_impl->hdc || (nBkMode != TRANSPARENT && nBkMode != OPAQUE)) return 0;
    return sys::SetBkMode(m_impl->hdc, nBkMode);
}

int CDC::GetBkMode() const {
    return m_impl && m_impl->hdc ? sys::GetBkMode(m_impl->hdc) : 0;
}

int CDC::GetDeviceCaps(int nIndex) const {
    return m_impl && m_impl->hdc ? sys::GetDeviceCaps(m_impl->hdc, nIndex) : 0;
}

BOOL CDC::DrawIcon(int x, int y, HICON hIcon) {
    return m_impl && m_impl->hdc && hIcon ? sys::DrawIcon(m_impl->hdc, x, y, hIcon) : FALSE;
}

CPaintDC::CPaintDC(CWnd* pWnd) : CDC(nullptr), m_own(std::make_unique<afx::DcImpl>()) {
    m_impl = m_own.get();
    m_own->hwnd = pWnd ? pWnd->GetSafeHwnd() : nullptr;
    if (m_own->hwnd) m_own->hdc = sys::BeginPaint(m_own->hwnd, &m_own->paint);
}

CPaintDC::~CPaintDC() {
    if (m_own->hdc) sys::EndPaint(m_own->hwnd, &m_own->paint);
}

CClientDC::CClientDC(CWnd* pWnd) : CDC(nullptr), m_own(std::make_unique<afx::DcImpl>()) {
    m_impl = m_own.get();
    m_own->hwnd = pWnd ? pWnd->GetSafeHwnd() : nullptr;
    m_own->hdc = sys::GetDC(m_own->hwnd);  // the screen's when there is no window
}

CClientDC::~CClientDC() {
    if (m_own->hdc) sys::ReleaseDC(m_own->hwnd, m_own->hdc);
}
