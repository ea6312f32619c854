// Inside of the dialog framework on Windows: the objects behind the handles
// of afxwin.h, over real windows. Not seen by the program.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/framework/afxwin.h"
#include "platform/framework/framework_common.h"
#include "platform/win32/windows/system_api.h"

namespace afx {

struct FontImpl {
    HFONT font = nullptr;
    ~FontImpl() {
        if (font != nullptr) sys::DeleteObject(font);
    }
};

// A device context: borrowed (OnCtlColor's), painted (CPaintDC) or the
// window's client area (CClientDC).
struct DcImpl {
    HDC hdc = nullptr;
    HWND hwnd = nullptr;
    sys::PAINTSTRUCT paint{};
};

class DialogHost;

// One window: the dialog or one of its controls. Several CWnd objects may
// point at one WindowImpl (GetDlgItem and bindings); it outlives its window,
// whose handle is then null, so that bindings never dangle.
struct WindowImpl {
    HWND hwnd = nullptr;
    DialogHost* host = nullptr;
    bool isDialog = false;
    std::unique_ptr<CWnd> object;  // what GetDlgItem hands out

    // The real messages being handled, innermost last, for CWnd::Default.
    struct Message {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };
    std::vector<Message> inHand;

    bool Alive() const { return hwnd != nullptr; }
    static const AFX_MSGMAP* MapOf(const CWnd* wnd) { return wnd->GetMessageMap(); }
};

// The live window of one CDialog, made from its template by the dialog
// manager. Survives its window (DestroyWindow).
class DialogHost {
public:
    explicit DialogHost(CDialog* dialog);
    ~DialogHost();
    DialogHost(const DialogHost&) = delete;
    DialogHost& operator=(const DialogHost&) = delete;

    // Makes the window from the template, hidden, and runs OnInitDialog in
    // its WM_INITDIALOG; false when the system refuses the template.
    bool Build(const DialogTemplate& tmpl, HWND parent);
    void Show();
    void End(int result);
    void Destroy();
    // Runs the dialog manager's loop until the window ends or is destroyed.
    void RunLoop();

    WindowImpl* Control(int id);
    WindowImpl& Window() { return m_window; }
    CDialog* Dialog() const { return m_dialog; }
    bool Destroyed() const { return m_destroyed; }
    bool Ended() const { return m_ended; }
    int Result() const { return m_result; }

    using Message = WindowImpl::Message;

    // The dialog procedure's work for one message; false leaves it to the
    // dialog manager.
    bool Handle(const Message& m, INT_PTR* result);
    // What the system does with a message no handler took (CWnd::Default):
    // a dialog's close box becomes its cancel command.
    static LRESULT DefaultProcessing(const WindowImpl& window, const Message& m);

    // The host of a window of ours (a dialog or one of its controls).
    static DialogHost* Of(HWND hwnd);

private:
    // Hands a message to the dialog's message table; false when the table
    // has no entry for it. The table sees `table`; CWnd::Default hands
    // `system`, the message as the system sent it, back to the system. They
    // differ only for WM_CTLCOLOR*, which the table knows as one WM_CTLCOLOR.
    bool Dispatch(const Message& table, const Message& system, LRESULT* result);
    bool Dispatch(const Message& m, LRESULT* result) { return Dispatch(m, m, result); }
    bool CtlColor(const Message& m, INT_PTR* result);
    void Forget();

    CDialog* m_dialog;
    WindowImpl m_window;
    std::vector<std::unique_ptr<WindowImpl>> m_controls;
    std::vector<WORD> m_template;  // the built template, kept while the window lives
    bool m_destroyed = false;
    bool m_ended = false;
    int m_result = -1;
};

// Timers of our windows. An elapse of 0 means "as soon as the queue is
// empty": such a timer is handed out by TakeMessage when nothing is queued,
// and handed to the system too once a loop that is not ours begins
// (EnterForeignLoop); any other elapse is the system's alone.
UINT_PTR ArmTimer(HWND hwnd, UINT_PTR id, UINT elapse, void* proc);
bool DisarmTimer(HWND hwnd, UINT_PTR id);
void ForgetTimers(HWND hwnd);  // the window is gone
void EnterForeignLoop();
bool IdleTimerDue();
// A due zero-elapse timer as its timer message; false when none is armed.
bool TakeIdleTimer(sys::MSG& msg);

// The next message for every loop of ours: what is queued, else a due
// zero-elapse timer, else (when wait is true) the next message to come.
enum class Taken { Message, Quit, Failed, Nothing };
Taken TakeMessage(sys::MSG& msg, bool wait);

// The dialog manager's binary template (DLGTEMPLATEEX and its items) for a
// template of ours: the same controls, styles, positions and captions.
std::vector<WORD> BuildDialogTemplate(const DialogTemplate& tmpl);

}  // namespace afx
