// A window or a control of the dialog framework (CWnd): text, state, focus,
// fonts, icons, painting and window timers.
#pragma once

#include <string>

#include "../win32/windows_types.h"
#include "afx_gdi.h"
#include "afx_msgmap.h"

constexpr WPARAM ICON_SMALL = 0;
constexpr WPARAM ICON_BIG = 1;

namespace afx {
struct WindowImpl;
}  // namespace afx

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
