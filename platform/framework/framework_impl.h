// Inside of the dialog framework: the objects behind the handles of afxwin.h
// and the one place where messages are dispatched. Not seen by the program.
#pragma once

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QPainter>
#include <QPointer>
#include <QString>
#include <QVariant>
#include <QWidget>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "afxwin.h"
#include "framework_common.h"

class QEventLoop;

namespace afx {

struct IconImpl {
    QIcon icon;
};
inline HICON ToHandle(IconImpl* icon) {
    return reinterpret_cast<HICON>(icon);
}
inline IconImpl* IconOf(HICON h) {
    return reinterpret_cast<IconImpl*>(h);
}
// An icon group resource (.ico bytes) as an icon; null icon when unreadable.
QIcon IconFromIcoBytes(const unsigned char* data, std::size_t size);

struct FontImpl {
    QFont font;
};

// The state of a device context. Colours are only recorded for OnCtlColor;
// a paint context also holds the painter open on the window.
struct DcImpl {
    COLORREF textColor = RGB(0, 0, 0);
    bool textColorSet = false;
    int bkMode = OPAQUE;
    QWidget* device = nullptr;
    std::unique_ptr<QPainter> painter;
};
QColor ToQColor(COLORREF c);

// The brush a dialog paints its background with; what OnCtlColor returns by
// default. The framework draws with the palette, so it is only a token.
HBRUSH DefaultBrush();

class DialogHost;

// One window: the dialog's top-level window or one of its controls. Several
// CWnd objects may point at one WindowImpl (GetDlgItem and bindings).
struct WindowImpl {
    DialogHost* host = nullptr;
    QPointer<QWidget> widget;
    bool isDialog = false;
    const DialogItemTemplate* item = nullptr;  // null for the dialog window
    std::size_t index = 0;                     // template position of a control
    std::unique_ptr<CWnd> object;              // what GetDlgItem hands out
    HICON icons[2] = {nullptr, nullptr};
    bool inPaint = false;
    // Progress bar state, kept here so that an empty range is representable.
    int rangeLow = 0;
    int rangeHigh = 100;
    int pos = 0;

    struct Message {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };
    std::vector<Message> inHand;  // for CWnd::Default

    UINT Id() const { return item ? item->id : 0; }
    bool Alive() const { return !widget.isNull(); }

    // Walks the message table of wnd and its bases; false when no entry matches.
    static bool Dispatch(CWnd* wnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
    // Dispatch, falling back to the default processing.
    static LRESULT Send(CWnd* wnd, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT DefaultProcessing(CWnd* wnd, UINT message, WPARAM wParam, LPARAM lParam);
    static bool HasEntry(const CWnd* wnd, UINT message);
};

// The live window of one CDialog: the Qt window, the controls, the timers and
// the modal loop. Survives its window (DestroyWindow) so that bindings held by
// the program never dangle; they just stop doing anything.
class DialogHost {
public:
    explicit DialogHost(CDialog* dialog);
    ~DialogHost();
    DialogHost(const DialogHost&) = delete;
    DialogHost& operator=(const DialogHost&) = delete;

    // Builds the window and its controls from the template, hidden.
    void Build(const DialogTemplate& tmpl, QWidget* parent);
    // Centres, shows and activates the window; focuses the first tab stop
    // when focusFirst is set.
    void Show(bool focusFirst);
    void End(int result);
    void Destroy();

    WindowImpl* Control(int id);
    WindowImpl& Window() { return m_window; }
    CDialog* Dialog() const { return m_dialog; }
    bool Destroyed() const { return m_destroyed; }
    bool Ended() const { return m_ended; }
    int Result() const { return m_result; }
    void SetLoop(QEventLoop* loop) { m_loop = loop; }

    // Entry points from Qt; each does nothing once the window is destroyed.
    void Command(const WindowImpl& control, UINT code);
    void Deliver(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    void CtlColor(WindowImpl& control, DcImpl& dc);
    void QtTimer(int qtTimerId);
    void Paint();
    // The dialog manager's keys: Enter, Esc, Tab and the arrow keys. True when
    // the key was the dialog's; false leaves it to the control.
    bool Key(QWidget* receiver, int key, Qt::KeyboardModifiers modifiers);
    // A user's click on an automatic radio button: check it, uncheck the
    // others of its group.
    void CheckRadio(const WindowImpl& radio);

    UINT_PTR SetTimer(UINT_PTR id, UINT elapse, TIMERPROC proc);
    bool KillTimer(UINT_PTR id);

    int BaseX() const { return m_baseX; }
    int BaseY() const { return m_baseY; }

private:
    struct Timer {
        int qtId;
        TIMERPROC proc;
    };
    void CreateControl(const DialogItemTemplate& item, std::size_t index);
    WindowImpl* ControlOf(const QWidget* widget) const;
    // First and one past the last template position of the group of a control:
    // a group runs from a control with WS_GROUP to the next one.
    std::pair<std::size_t, std::size_t> GroupOf(std::size_t index) const;
    bool IsTabStop(const WindowImpl& control) const;
    void TabTo(WindowImpl* from, bool backwards);
    void ArrowTo(WindowImpl& from, bool backwards);
    void Connect(WindowImpl& control);
    void KillAllTimers();

    CDialog* m_dialog;
    WindowImpl m_window;
    std::vector<std::unique_ptr<WindowImpl>> m_controls;
    std::map<UINT_PTR, Timer> m_timers;
    std::vector<QMetaObject::Connection> m_connections;
    std::unique_ptr<QObject> m_keyFilter;
    QEventLoop* m_loop = nullptr;
    QPointer<QWidget> m_doomed;  // the destroyed window, until Qt deletes it
    bool m_destroyed = false;
    bool m_ended = false;
    int m_result = -1;
    int m_baseX = 0;
    int m_baseY = 0;
};

// Makes a shown window the active one, so that its widgets take the focus.
void ActivateWindow(QWidget* window);

// The widget of a template control, with its stable CWnd in impl->object
// (controls.cpp).
QWidget* CreateControlWidget(DialogHost* host, WindowImpl* impl, QWidget* parent);

// Draws a visible control at once, as a Windows control redraws inside the
// call that changes its text or its enabled state: a handler that blocks
// afterwards (the scan at Start) still shows what it set.
void DrawNow(QWidget* widget);

// Per-kind access to a control's widget (controls.cpp).
QString WindowText(const WindowImpl& wnd);
// An edit notifies EN_CHANGE on every set, even of the same text.
void SetWindowText(WindowImpl& wnd, const QString& text);
UINT CheckState(const WindowImpl& wnd);
void SetCheckState(WindowImpl& wnd, UINT state);
void SetProgress(WindowImpl& wnd, int low, int high, int pos);

// The dialog framework's view of a window handle (the Qt widget).
inline HWND HwndOf(const WindowImpl* impl) {
    return impl && impl->widget ? reinterpret_cast<HWND>(impl->widget.data()) : nullptr;
}

// Each widget of ours carries its WindowImpl under this property, so a widget
// the toolkit hands back (the focus, a drop target) leads to its window.
inline constexpr char kWindowProperty[] = "afx.window";
inline WindowImpl* ImplOfWidget(const QWidget* w) {
    return w ? static_cast<WindowImpl*>(w->property(kWindowProperty).value<void*>()) : nullptr;
}

}  // namespace afx
