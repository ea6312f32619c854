// A dialog built from a template: data exchange, modal and modeless use, OK
// and Cancel, and the message box.
#pragma once

#include <memory>
#include <vector>

#include "afx_wnd.h"

constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;

constexpr UINT MB_OK = 0x00000000;

// One OK button captioned "确定", no icon. Blocks until dismissed.
int MessageBoxW(HWND hWnd, LPCWSTR lpText, LPCWSTR lpCaption, UINT uType);

namespace afx {
class DialogHost;
}  // namespace afx

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
