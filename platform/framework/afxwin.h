// The dialog framework as the program sees it: an application object, a
// dialog built from a template, controls reached by identifier, a message
// table, window timers, fonts, colours and a message box. Implemented on Qt
// Widgets on Linux and on real Win32 windows on Windows (windows/); no type of
// either appears here.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "../win32/windows_types.h"
#include "../win32/winuser.h"
#include "dialog_template.h"

// Messages and notifications the message table can name.
constexpr UINT WM_PAINT = 0x000F;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_ICONERASEBKGND = 0x0027;
constexpr UINT WM_QUERYDRAGICON = 0x0037;
constexpr UINT WM_SETICON = 0x0080;
constexpr UINT WM_COMMAND = 0x0111;
constexpr UINT WM_TIMER = 0x0113;
constexpr UINT WM_CTLCOLOR = 0x0019;

constexpr UINT BN_CLICKED = 0;
constexpr UINT EN_CHANGE = 0x0300;

constexpr UINT CTLCOLOR_EDIT = 1;
constexpr UINT CTLCOLOR_BTN = 3;
constexpr UINT CTLCOLOR_DLG = 4;
constexpr UINT CTLCOLOR_STATIC = 6;

constexpr int TRANSPARENT = 1;
constexpr int OPAQUE = 2;

constexpr WPARAM ICON_SMALL = 0;
constexpr WPARAM ICON_BIG = 1;

constexpr UINT BST_UNCHECKED = 0;
constexpr UINT BST_CHECKED = 1;
constexpr UINT BST_INDETERMINATE = 2;

constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;

constexpr UINT MB_OK = 0x00000000;

constexpr int SM_CXICON = 11;
constexpr int SM_CYICON = 12;
constexpr int LOGPIXELSY = 90;

constexpr BYTE DEFAULT_CHARSET = 1;
constexpr LONG FW_DONTCARE = 0;
constexpr LONG FW_NORMAL = 400;

int GetSystemMetrics(int nIndex);
int MulDiv(int nNumber, int nNumerator, int nDenominator);

// One OK button captioned "确定", no icon. Blocks until dismissed.
int MessageBoxW(HWND hWnd, LPCWSTR lpText, LPCWSTR lpCaption, UINT uType);
// Registers the common control classes; the progress bar needs nothing more
// on this platform.
void InitCommonControls();
void AfxEnableControlContainer();

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
class CDialog;
namespace afx {
struct WindowImpl;
struct FontImpl;
struct DcImpl;
class DialogHost;
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

class CCmdTarget {
public:
    virtual ~CCmdTarget() = default;
};

// --- The message table -------------------------------------------------------
//
// Each entry names a message (and for WM_COMMAND a notification code and a
// control identifier range) and a thunk that calls the handler with its own
// signature, so no handler pointer is ever cast to another type.

using AFX_THUNK = LRESULT (*)(CCmdTarget* pTarget, WPARAM wParam, LPARAM lParam);

struct AFX_MSGMAP_ENTRY {
    UINT nMessage;
    UINT nCode;  // notification code for WM_COMMAND
    UINT nID;
    UINT nLastID;
    AFX_THUNK pfnThunk;  // null ends the table
};

struct AFX_MSGMAP {
    const AFX_MSGMAP* (*pfnGetBaseMap)();
    const AFX_MSGMAP_ENTRY* lpEntries;
};

// WM_CTLCOLOR carries a pointer to this in lParam; the thunk returns the brush.
struct AFX_CTLCOLOR {
    CDC* pDC;
    CWnd* pWnd;
    UINT nCtlType;
};

// void handler(): WM_PAINT, WM_CLOSE, WM_COMMAND notifications.
template <class T, void (T::*F)()>
LRESULT AfxThunkVoid(CCmdTarget* p, WPARAM, LPARAM) {
    (static_cast<T*>(p)->*F)();
    return 0;
}
// void handler(UINT_PTR nIDEvent): WM_TIMER, the identifier in wParam.
template <class T, void (T::*F)(UINT_PTR)>
LRESULT AfxThunkTimer(CCmdTarget* p, WPARAM w, LPARAM) {
    (static_cast<T*>(p)->*F)(static_cast<UINT_PTR>(w));
    return 0;
}
// HBRUSH handler(CDC*, CWnd*, UINT): WM_CTLCOLOR.
template <class T, HBRUSH (T::*F)(CDC*, CWnd*, UINT)>
LRESULT AfxThunkCtlColor(CCmdTarget* p, WPARAM, LPARAM l) {
    const auto* args = reinterpret_cast<const AFX_CTLCOLOR*>(l);
    return reinterpret_cast<LRESULT>(
        (static_cast<T*>(p)->*F)(args->pDC, args->pWnd, args->nCtlType));
}
// HCURSOR handler(): WM_QUERYDRAGICON.
template <class T, HCURSOR (T::*F)()>
LRESULT AfxThunkCursor(CCmdTarget* p, WPARAM, LPARAM) {
    return reinterpret_cast<LRESULT>((static_cast<T*>(p)->*F)());
}

// clang-format off
#define DECLARE_MESSAGE_MAP()                       \
protected:                                          \
    static const AFX_MSGMAP* GetThisMessageMap();   \
    const AFX_MSGMAP* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                      \
    const AFX_MSGMAP* theClass::GetMessageMap() const { return GetThisMessageMap(); } \
    const AFX_MSGMAP* theClass::GetThisMessageMap() {                               \
        using ThisClass = theClass;                                                 \
        using TheBaseClass = baseClass;                                             \
        static const AFX_MSGMAP_ENTRY _messageEntries[] = {
#define END_MESSAGE_MAP()                                                   \
    {0, 0, 0, 0, nullptr}                                                   \
    }                                                                       \
    ;                                                                       \
    static const AFX_MSGMAP messageMap = {&TheBaseClass::GetThisMessageMap, \
                                          &_messageEntries[0]};             \
    return &messageMap;                                                     \
    }

#define ON_WM_PAINT() \
    {WM_PAINT, 0, 0, 0, &AfxThunkVoid<ThisClass, static_cast<void (ThisClass::*)()>(&ThisClass::OnPaint)>},
#define ON_WM_CLOSE() \
    {WM_CLOSE, 0, 0, 0, &AfxThunkVoid<ThisClass, static_cast<void (ThisClass::*)()>(&ThisClass::OnClose)>},
#define ON_WM_TIMER()                                                    \
    {WM_TIMER, 0, 0, 0,                                                  \
     &AfxThunkTimer<ThisClass, static_cast<void (ThisClass::*)(UINT_PTR)>(&ThisClass::OnTimer)>},
#define ON_WM_CTLCOLOR()                                                                    \
    {WM_CTLCOLOR, 0, 0, 0,                                                                  \
     &AfxThunkCtlColor<ThisClass,                                                           \
                       static_cast<HBRUSH (ThisClass::*)(CDC*, CWnd*, UINT)>(&ThisClass::OnCtlColor)>},
#define ON_WM_QUERYDRAGICON()                                              \
    {WM_QUERYDRAGICON, 0, 0, 0,                                            \
     &AfxThunkCursor<ThisClass, static_cast<HCURSOR (ThisClass::*)()>(&ThisClass::OnQueryDragIcon)>},
#define ON_CONTROL(code, id, memberFxn)                                              \
    {WM_COMMAND, code, static_cast<UINT>(id), static_cast<UINT>(id),                 \
     &AfxThunkVoid<ThisClass, static_cast<void (ThisClass::*)()>(&ThisClass::memberFxn)>},
#define ON_BN_CLICKED(id, memberFxn) ON_CONTROL(BN_CLICKED, id, memberFxn)
#define ON_EN_CHANGE(id, memberFxn) ON_CONTROL(EN_CHANGE, id, memberFxn)
// clang-format on

// --- Windows -----------------------------------------------------------------

using TIMERPROC = void (*)(HWND, UINT, UINT_PTR, DWORD);

// A window or a control. Controls of a dialog are reached by identifier;
// several CWnd objects may stand for one control (a binding and GetDlgItem).
class CWnd : public CCmdTarget {
public:
    CWnd();
    ~CWnd() override;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND GetSafeHwnd() const;
    int GetDlgCtrlID() const;

    CWnd* GetDlgItem(int nID) const;
    void SetDlgItemTextW(int nID, LPCWSTR lpszString);
    int GetDlgItemTextW(int nID, std::u16string& rString) const;
    void CheckDlgButton(int nIDButton, UINT nCheck);
    UINT IsDlgButtonChecked(int nIDButton) const;

    void SetWindowTextW(LPCWSTR lpszString);
    int GetWindowTextW(std::u16string& rString) const;
    int GetWindowTextLengthW() const;
    BOOL EnableWindow(BOOL bEnable = TRUE);
    BOOL IsWindowEnabled() const;
    BOOL ShowWindow(int nCmdShow);
    BOOL IsWindowVisible() const;
    BOOL IsIconic() const;
    CWnd* SetFocus();
    static CWnd* GetFocus();
    void SetFont(CFont* pFont, BOOL bRedraw = TRUE);
    HICON SetIcon(HICON hIcon, BOOL bBigIcon);
    HICON GetIcon(BOOL bBigIcon) const;
    void GetClientRect(RECT* lpRect) const;
    void Invalidate(BOOL bErase = TRUE);
    void UpdateWindow();
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

    // Window timers: elapse 0 fires as soon as the loop is idle; arming an
    // armed identifier replaces it; the tick repeats until KillTimer.
    UINT_PTR SetTimer(UINT_PTR nIDEvent, UINT nElapse, TIMERPROC lpfnTimer);
    BOOL KillTimer(UINT_PTR nIDEvent);

    virtual BOOL DestroyWindow();

    // Default handlers, reached through the message table.
    void OnPaint();
    void OnClose();
    void OnTimer(UINT_PTR nIDEvent);
    HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor);
    HCURSOR OnQueryDragIcon();

    afx::WindowImpl* Impl() const { return m_impl; }
    void Attach(afx::WindowImpl* impl) { m_impl = impl; }

protected:
    static const AFX_MSGMAP* GetThisMessageMap();
    virtual const AFX_MSGMAP* GetMessageMap() const;
    // The default processing of the message in hand.
    LRESULT Default();

    afx::WindowImpl* m_impl = nullptr;

    friend struct afx::WindowImpl;
    friend class CDialog;
};

class CButton : public CWnd {
public:
    int GetCheck() const;
    void SetCheck(int nCheck);
};

class CEdit : public CWnd {};
class CStatic : public CWnd {};

class CProgressCtrl : public CWnd {
public:
    void SetRange(short nLower, short nUpper);
    void GetRange(int& nLower, int& nUpper) const;
    int SetPos(int nPos);
    int GetPos() const;
};

class CDataExchange {
public:
    CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate)
        : m_pDlgWnd(pDlgWnd), m_bSaveAndValidate(bSaveAndValidate) {}
    CWnd* m_pDlgWnd;
    BOOL m_bSaveAndValidate;
};

// Binds rControl to the dialog's control nIDC.
void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);

class CDialog : public CWnd {
public:
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
    ~CDialog() override;

    // Builds the window, runs OnInitDialog, shows it and runs its loop until
    // EndDialog or DestroyWindow.
    virtual INT_PTR DoModal();
    // Builds the window, runs OnInitDialog and shows it, without a loop of its
    // own (the caller's loop drives it).
    BOOL Create();
    void EndDialog(int nResult);
    BOOL DestroyWindow() override;
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);

    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();

protected:
    virtual void DoDataExchange(CDataExchange* pDX);
    static const AFX_MSGMAP* GetThisMessageMap();
    const AFX_MSGMAP* GetMessageMap() const override;

    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;

private:
    // Builds the window, runs OnInitDialog and shows it; false when the
    // template does not exist.
    BOOL CreateFromTemplate();
    afx::DialogHost* Host() const { return m_hosts.empty() ? nullptr : m_hosts.back().get(); }

    // The window of each Create; earlier ones are kept (dead) so that the
    // program's bindings to their controls never dangle.
    std::vector<std::unique_ptr<afx::DialogHost>> m_hosts;
};

class CWinApp : public CCmdTarget {
public:
    CWinApp();
    ~CWinApp() override;
    virtual BOOL InitInstance();
    virtual int ExitInstance();
    // An icon group of the executable's resources; null when there is none.
    HICON LoadIconW(UINT nIDResource) const;

    CWnd* m_pMainWnd = nullptr;
};

CWinApp* AfxGetApp();

// The framework's entry point: prepares the platform (one Qt application,
// font substitutes), runs the application object's InitInstance, its loop when
// InitInstance returns true, and ExitInstance, whose result it returns.
int AfxWinMain(int argc, char** argv);

// Prepares the platform without running the application object; for tests
// and tools that drive a dialog themselves. Safe to call more than once.
void AfxInitFramework(int& argc, char** argv);
