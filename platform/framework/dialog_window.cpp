// A dialog template built into a real Qt window: its notifications, the
// keyboard commands, timers, painting, and the end of the window.
#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimerEvent>
#include <QVariant>
#include <algorithm>

#include "afxwin.h"
#include "framework_impl.h"

namespace afx {
namespace {

void Tag(QWidget* w, WindowImpl* impl) {
    w->setProperty(kWindowProperty, QVariant::fromValue(static_cast<void*>(impl)));
}

class DialogWindow : public QWidget {
public:
    DialogWindow(DialogHost* host, QWidget* parent, Qt::WindowFlags flags)
        : QWidget(parent, flags), m_host(host) {}

protected:
    // The close box, Alt+F4 and the window menu all become WM_CLOSE; only the
    // program decides whether the window goes.
    void closeEvent(QCloseEvent* e) override {
        e->ignore();
        m_host->Deliver(WM_CLOSE);
    }
    void timerEvent(QTimerEvent* e) override { m_host->QtTimer(e->timerId()); }
    void paintEvent(QPaintEvent*) override { m_host->Paint(); }
    void changeEvent(QEvent* e) override {
        if (e->type() == QEvent::WindowStateChange) update();
        QWidget::changeEvent(e);
    }

private:
    DialogHost* m_host;
};

// Enter, Esc, Tab and the arrow keys are the dialog manager's wherever the
// focus is, before any widget sees them, as on Windows.
class KeyFilter : public QObject {
public:
    explicit KeyFilter(DialogHost* host) : m_host(host) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        return m_host->Key(qobject_cast<QWidget*>(watched), key->key(), key->modifiers());
    }

private:
    DialogHost* m_host;
};

// A control's pixel rectangle: x, y, width and height each converted on
// their own, as the dialog manager does.
QRect DluRect(const DialogItemTemplate& item, int baseX, int baseY) {
    return QRect(MulDiv(item.x, baseX, 4), MulDiv(item.y, baseY, 8), MulDiv(item.cx, baseX, 4),
                 MulDiv(item.cy, baseY, 8));
}

Qt::FocusPolicy FocusPolicyOf(const DialogItemTemplate& item) {
    switch (item.kind) {
        case ControlKind::Label:
        case ControlKind::GroupBox:
        case ControlKind::ProgressBar:
            return Qt::NoFocus;
        default:
            return (item.style & WS_TABSTOP) ? Qt::StrongFocus : Qt::ClickFocus;
    }
}

bool IsButtonKind(ControlKind kind) {
    return kind == ControlKind::PushButton || kind == ControlKind::CheckBox ||
           kind == ControlKind::RadioButton;
}

}  // namespace

// Under the offscreen platform nothing activates a window for us, and without
// an active window no widget holds the keyboard focus.
void ActivateWindow(QWidget* window) {
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal")) {
        QApplication::setActiveWindow(window);
        return;
    }
    window->raise();
    window->activateWindow();
}

// --- DialogHost -------------------------------------------------------------

DialogHost::DialogHost(CDialog* dialog) : m_dialog(dialog) {
    m_window.host = this;
    m_window.isDialog = true;
}

DialogHost::~DialogHost() {
    Destroy();
    // Still there when no event loop ran after DestroyWindow.
    delete m_doomed.data();
}

void DialogHost::Build(const DialogTemplate& tmpl, QWidget* parent) {
    Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                            Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (tmpl.style & WS_MINIMIZEBOX) flags |= Qt::WindowMinimizeButtonHint;
    auto* window = new DialogWindow(this, parent, flags);
    m_window.widget = window;
    Tag(window, &m_window);
    window->setWindowTitle(QString::fromUtf16(tmpl.caption));

    QFont font(QString::fromUtf16(tmpl.fontFace));
    font.setPointSize(tmpl.pointSize);
    window->setFont(font);
    // The dialog base units, measured as Windows measures them.
    const QFontMetrics fm(font, window);
    static const QString kLetters =
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    m_baseX = (fm.horizontalAdvance(kLetters) + 26) / 52;
    m_baseY = fm.height();
    window->setFixedSize(MulDiv(tmpl.cx, m_baseX, 4), MulDiv(tmpl.cy, m_baseY, 8));

    m_keyFilter = std::make_unique<KeyFilter>(this);
    window->installEventFilter(m_keyFilter.get());
    for (std::size_t i = 0; i < tmpl.itemCount; ++i) CreateControl(tmpl.items[i], i);
    // Only now: the template's own texts are no change the program hears of.
    for (auto& control : m_controls) Connect(*control);
}

void DialogHost::CreateControl(const DialogItemTemplate& item, std::size_t index) {
    auto impl = std::make_unique<WindowImpl>();
    impl->host = this;
    impl->item = &item;
    impl->index = index;
    QWidget* w = CreateControlWidget(this, impl.get(), m_window.widget);
    impl->object->Attach(impl.get());
    impl->widget = w;
    Tag(w, impl.get());
    w->setGeometry(DluRect(item, m_baseX, m_baseY));
    w->setFocusPolicy(FocusPolicyOf(item));
    w->installEventFilter(m_keyFilter.get());
    // Explicitly, so that a child of a window not yet shown reads as visible.
    w->setVisible((item.style & WS_VISIBLE) != 0);
    if (item.style & WS_DISABLED) w->setEnabled(false);
    m_controls.push_back(std::move(impl));
}

void DialogHost::Connect(WindowImpl& control) {
    QWidget* w = control.widget;
    WindowImpl* c = &control;
    if (control.item->kind == ControlKind::Edit) {
        m_connections.push_back(QObject::connect(static_cast<QLineEdit*>(w),
                                                 &QLineEdit::textChanged, w,
                                                 [this, c] { Command(*c, EN_CHANGE); }));
    } else if (IsButtonKind(control.item->kind)) {
        m_connections.push_back(QObject::connect(static_cast<QAbstractButton*>(w),
                                                 &QAbstractButton::clicked, w,
                                                 [this, c] { Command(*c, BN_CLICKED); }));
    }
}

void DialogHost::Show(bool focusFirst) {
    QWidget* window = m_window.widget;
    if (!window) return;
    QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (screen) {
        const QRect area = screen->availableGeometry();
        window->move(area.center() - QPoint(window->width() / 2, window->height() / 2));
    }
    window->show();
    ActivateWindow(window);
    if (!focusFirst) return;
    for (auto& control : m_controls) {
        QWidget* w = control->widget;
        if (w && (control->item->style & WS_TABSTOP) && !w->isHidden() && w->isEnabled() &&
            w->focusPolicy() != Qt::NoFocus) {
            w->setFocus(Qt::TabFocusReason);
            // The dialog manager selects the whole text of an edit it gives
            // the focus to, so that typing replaces it (the toolkit, focusing
            // a window that is not active yet, would leave the caret at the end).
            if (auto* edit = qobject_cast<QLineEdit*>(w)) edit->selectAll();
            break;
        }
    }
}

void DialogHost::End(int result) {
    if (m_destroyed) return;
    m_result = result;
    m_ended = true;
    if (m_window.widget) m_window.widget->hide();
    if (m_loop) m_loop->exit();
}

void DialogHost::Destroy() {
    if (m_destroyed) return;
    m_destroyed = true;
    m_ended = true;
    KillAllTimers();
    for (auto& connection : m_connections) QObject::disconnect(connection);
    m_connections.clear();
    if (m_loop) m_loop->exit();
    if (QWidget* window = m_window.widget) {
        window->hide();
        // Deferred: this may run inside one of the window's own event handlers.
        window->deleteLater();
        m_doomed = window;
    }
    m_window.widget.clear();
    for (auto& control : m_controls) control->widget.clear();
    OnWindowDestroyed(m_dialog);
}

WindowImpl* DialogHost::Control(int id) {
    for (auto& control : m_controls)
        if (static_cast<int>(control->item->id) == id) return control.get();
    return nullptr;
}

void DialogHost::Command(const WindowImpl& control, UINT code) {
    if (m_destroyed) return;
    WindowImpl::Send(m_dialog, WM_COMMAND, MakeCommandParam(control.Id(), code),
                     reinterpret_cast<LPARAM>(HwndOf(&control)));
}

void DialogHost::Deliver(UINT message, WPARAM wParam, LPARAM lParam) {
    if (m_destroyed) return;
    WindowImpl::Send(m_dialog, message, wParam, lParam);
}

void DialogHost::CtlColor(WindowImpl& control, DcImpl& dc) {
    if (m_destroyed) return;
    CDC cdc(&dc);
    AFX_CTLCOLOR args{&cdc, control.object.get(), CTLCOLOR_STATIC};
    WindowImpl::Send(m_dialog, WM_CTLCOLOR, reinterpret_cast<WPARAM>(cdc.GetSafeHdc()),
                     reinterpret_cast<LPARAM>(&args));
}

void DialogHost::Paint() {
    // Without a WM_PAINT entry the default painting is Qt's own background.
    if (m_destroyed || !WindowImpl::HasEntry(m_dialog, WM_PAINT)) return;
    m_window.inPaint = true;
    Deliver(WM_PAINT);
    m_window.inPaint = false;
}

bool DialogHost::Key(QWidget* receiver, int key, Qt::KeyboardModifiers modifiers) {
    if (m_destroyed) return false;
    WindowImpl* control = ControlOf(receiver);
    const bool plain = (modifiers & (Qt::ControlModifier | Qt::AltModifier)) == 0;
    switch (key) {
        case Qt::Key_Escape:
            Deliver(WM_COMMAND, MakeCommandParam(IDCANCEL, BN_CLICKED));
            return true;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            // A focused push button is the default button: Enter clicks it.
            if (control != nullptr && control->item->kind == ControlKind::PushButton) {
                static_cast<QPushButton*>(receiver)->click();
            } else {
                Deliver(WM_COMMAND, MakeCommandParam(IDOK, BN_CLICKED));
            }
            return true;
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            if (!plain) return false;
            TabTo(control, key == Qt::Key_Backtab || (modifiers & Qt::ShiftModifier));
            return true;
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_Left:
        case Qt::Key_Right:
            // An edit keeps the arrow keys for its caret.
            if (!plain || control == nullptr || !IsButtonKind(control->item->kind)) return false;
            ArrowTo(*control, key == Qt::Key_Up || key == Qt::Key_Left);
            return true;
        default:
            return false;
    }
}

WindowImpl* DialogHost::ControlOf(const QWidget* widget) const {
    if (widget == nullptr) return nullptr;
    for (const auto& control : m_controls)
        if (control->widget == widget) return control.get();
    return nullptr;
}

std::pair<std::size_t, std::size_t> DialogHost::GroupOf(std::size_t index) const {
    std::size_t first = index;
    while (first > 0 && !(m_controls[first]->item->style & WS_GROUP)) --first;
    std::size_t last = index + 1;
    while (last < m_controls.size() && !(m_controls[last]->item->style & WS_GROUP)) ++last;
    return {first, last};
}

namespace {
// A shown, enabled control that takes the focus at all.
bool CanTakeFocus(const QWidget* w) {
    return w && !w->isHidden() && w->isEnabled() && w->focusPolicy() != Qt::NoFocus;
}
}  // namespace

// A radio button is a tab stop only while it is the checked one of its group
// (Windows moves WS_TABSTOP with the check), so Tab enters a group at its
// checked radio; a group with nothing checked keeps the template's stops.
bool DialogHost::IsTabStop(const WindowImpl& control) const {
    if (!CanTakeFocus(control.widget) || !(control.item->style & WS_TABSTOP)) return false;
    if (control.item->kind != ControlKind::RadioButton) return true;
    if (CheckState(control) == BST_CHECKED) return true;
    const auto [first, last] = GroupOf(control.index);
    for (std::size_t i = first; i < last; ++i) {
        const WindowImpl& other = *m_controls[i];
        if (other.item->kind == ControlKind::RadioButton && CheckState(other) == BST_CHECKED)
            return false;
    }
    return true;
}

// The next tab stop in template order, round the end of the template.
void DialogHost::TabTo(WindowImpl* from, bool backwards) {
    const std::size_t n = m_controls.size();
    if (n == 0) return;
    std::size_t at = from != nullptr ? from->index : (backwards ? 0 : n - 1);
    for (std::size_t step = 0; step < n; ++step) {
        at = backwards ? (at + n - 1) % n : (at + 1) % n;
        WindowImpl& next = *m_controls[at];
        if (!IsTabStop(next)) continue;
        next.widget->setFocus(backwards ? Qt::BacktabFocusReason : Qt::TabFocusReason);
        return;
    }
}

// The arrow keys move within the group to the next control that can take the
// focus, round its ends; an automatic radio reached so is clicked, as the
// dialog manager does, so the program hears of the new choice.
void DialogHost::ArrowTo(WindowImpl& from, bool backwards) {
    const auto [first, last] = GroupOf(from.index);
    const std::size_t size = last - first;
    std::size_t at = from.index - first;
    for (std::size_t step = 1; step < size; ++step) {
        at = backwards ? (at + size - 1) % size : (at + 1) % size;
        WindowImpl& next = *m_controls[first + at];
        QWidget* w = next.widget;
        if (!CanTakeFocus(w)) continue;
        w->setFocus(Qt::TabFocusReason);
        if (next.item->kind == ControlKind::RadioButton && CheckState(next) != BST_CHECKED)
            static_cast<QAbstractButton*>(w)->click();
        return;
    }
}

void DialogHost::CheckRadio(const WindowImpl& radio) {
    const auto [first, last] = GroupOf(radio.index);
    for (std::size_t i = first; i < last; ++i) {
        WindowImpl& other = *m_controls[i];
        if (&other != &radio && other.item->kind == ControlKind::RadioButton && other.widget)
            static_cast<QAbstractButton*>(other.widget.data())->setChecked(false);
    }
    if (radio.widget) static_cast<QAbstractButton*>(radio.widget.data())->setChecked(true);
}

UINT_PTR DialogHost::SetTimer(UINT_PTR id, UINT elapse, TIMERPROC proc) {
    QWidget* window = m_window.widget;
    if (m_destroyed || !window) return 0;
    KillTimer(id);
    const int qtId = window->startTimer(static_cast<int>(std::min<UINT>(elapse, INT32_MAX)));
    if (qtId == 0) return 0;
    m_timers[id] = Timer{qtId, proc};
    return id != 0 ? id : 1;
}

bool DialogHost::KillTimer(UINT_PTR id) {
    auto it = m_timers.find(id);
    if (it == m_timers.end()) return false;
    if (m_window.widget) m_window.widget->killTimer(it->second.qtId);
    m_timers.erase(it);
    return true;
}

void DialogHost::KillAllTimers() {
    if (m_window.widget)
        for (auto& [id, timer] : m_timers) m_window.widget->killTimer(timer.qtId);
    m_timers.clear();
}

void DialogHost::QtTimer(int qtTimerId) {
    if (m_destroyed) return;
    auto it = std::find_if(m_timers.begin(), m_timers.end(),
                           [&](const auto& entry) { return entry.second.qtId == qtTimerId; });
    if (it == m_timers.end()) return;
    // Copied: the handler may kill or re-arm this very timer.
    const UINT_PTR nIDEvent = it->first;
    const TIMERPROC proc = it->second.proc;
    if (proc) {
        proc(HwndOf(&m_window), WM_TIMER, nIDEvent, 0);
    } else {
        Deliver(WM_TIMER, nIDEvent);
    }
}

}  // namespace afx
