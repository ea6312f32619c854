// GDI objects of the dialog framework: rectangles, fonts and the device
// contexts handed to painting and colour handlers.
#pragma once

#include <memory>

#include "../win32/windows_types.h"

constexpr int TRANSPARENT = 1;
constexpr int OPAQUE = 2;

constexpr int SM_CXICON = 11;
constexpr int SM_CYICON = 12;
constexpr int LOGPIXELSY = 90;

constexpr BYTE DEFAULT_CHARSET = 1;
constexpr LONG FW_DONTCARE = 0;
constexpr LONG FW_NORMAL = 400;

int GetSystemMetrics(int nIndex);
int MulDiv(int nNumber, int nNumerator, int nDenominator);

struct LOGFONTW {
    LONG lfHeight;
    LONG lfWidth;
    LONG lfEscapement;
    LONG lfOrientation;
    LONG lfWeight;
    BYTE lfItalic;
    BYTE lfUnderline;
    BYTE lfStrikeOut;
    BYTE lfCharSet;
    BYTE lfOutPrecision;
    BYTE lfClipPrecision;
    BYTE lfQuality;
    BYTE lfPitchAndFamily;
    WCHAR lfFaceName[32];
};

class CWnd;
namespace afx {
struct FontImpl;
struct DcImpl;
}  // namespace afx

class CRect : public RECT {
public:
    CRect() : RECT{0, 0, 0, 0} {}
    CRect(LONG l, LONG t, LONG r, LONG b) : RECT{l, t, r, b} {}
    LONG Width() const { return right - left; }
    LONG Height() const { return bottom - top; }
};

// A font; the face names of the Windows templates are substituted by
// installed fonts ("MS Shell Dlg" -> WenQuanYi Micro Hei,
// "楷体_GB2312" -> AR PL UKai CN).
class CFont {
public:
    CFont();
    ~CFont();
    CFont(const CFont&) = delete;
    CFont& operator=(const CFont&) = delete;
    // lfHeight < 0: character height in pixels; > 0: cell height in pixels.
    BOOL CreateFontIndirectW(const LOGFONTW* lpLogFont);
    afx::FontImpl* Impl() const { return m_impl.get(); }

private:
    std::unique_ptr<afx::FontImpl> m_impl;
};

// Drawing state handed to OnCtlColor and OnPaint.
class CDC {
public:
    explicit CDC(afx::DcImpl* impl);
    virtual ~CDC();
    COLORREF SetTextColor(COLORREF crColor);
    COLORREF GetTextColor() const;
    int SetBkMode(int nBkMode);
    int GetBkMode() const;
    int GetDeviceCaps(int nIndex) const;
    BOOL DrawIcon(int x, int y, HICON hIcon);
    HDC GetSafeHdc() const;

protected:
    afx::DcImpl* m_impl;
};

// Paints the window's client area while it lives.
class CPaintDC : public CDC {
public:
    explicit CPaintDC(CWnd* pWnd);
    ~CPaintDC() override;

private:
    std::unique_ptr<afx::DcImpl> m_own;
};

// A device context of the window's client area, for measuring outside
// painting (GetDeviceCaps).
class CClientDC : public CDC {
public:
    explicit CClientDC(CWnd* pWnd);
    ~CClientDC() override;

private:
    std::unique_ptr<afx::DcImpl> m_own;
};
