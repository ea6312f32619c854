// A dialog template built into a real Qt window: the controls, their
// notifications, the keyboard commands, timers and the painting of statics.
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTimerEvent>
#include <QVariant>
#include <algorithm>

#include "afxwin.h"
#include "framework_impl.h"

namespace afx {
namespace {

const char kWindowProperty[] = "afx.window";

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

// Enter and Esc are the dialog's commands wherever the focus is, before any
// widget sees them, as the dialog manager handles them on Windows.
class KeyFilter : public QObject {
public:
    explicit KeyFilter(DialogHost* host) : m_host(host) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) return false;
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key != Qt::Key_Return && key != Qt::Key_Enter && key != Qt::Key_Escape) return false;
        m_host->Key(qobject_cast<QWidget*>(watched), key);
        return true;
    }

private:
    DialogHost* m_host;
};

// A static text control: asks the dialog for its colours before each drawing.
class StaticLabel : public QLabel {
public:
    StaticLabel(DialogHost* host, WindowImpl* impl, const QString& text, QWidget* parent)
        : QLabel(parent), m_host(host), m_impl(impl) {
        setTextFormat(Qt::PlainText);
        setText(text);
        const DWORD style = impl->item->style;
        if ((style & SS_CENTER) && (style & SS_CENTERIMAGE)) {
            m_flags = Qt::AlignCenter | Qt::TextSingleLine;
        } else if (style & SS_CENTER) {
            m_flags = Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap;
        } else if (style & SS_CENTERIMAGE) {
            m_flags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine;
        } else {
            m_flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap;
        }
        m_flags |= Qt::TextShowMnemonic | Qt::TextExpandTabs;
    }

protected:
    void paintEvent(QPaintEvent*) override {
        DcImpl dc;
        m_host->CtlColor(*m_impl, dc);
        QPainter p(this);
        p.setFont(font());
        const QRect r = rect();
        if (dc.bkMode != TRANSPARENT)
            p.fillRect(p.boundingRect(r, m_flags, text()) & r, palette().color(QPalette::Window));
        p.setPen(TextColour(dc));
        p.drawText(r, m_flags, text());
    }

private:
    QColor TextColour(const DcImpl& dc) const {
        if (!isEnabled()) return palette().color(QPalette::Disabled, QPalette::WindowText);
        return dc.textColorSet ? ToQColor(dc.textColor) : palette().color(QPalette::WindowText);
    }

    DialogHost* m_host;
    WindowImpl* m_impl;
    int m_flags = 0;
};

// A group box: an etched frame whose top edge runs through the middle of the
// title, the title at the left on the dialog's background.
class GroupFrame : public QWidget {
public:
    GroupFrame(DialogHost* host, WindowImpl* impl, const QString& title, QWidget* parent)
        : QWidget(parent), m_host(host), m_impl(impl), m_title(title) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }
    QString Title() const { return m_title; }
    void SetTitle(const QString& title) {
        m_title = title;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        DcImpl dc;
        m_host->CtlColor(*m_impl, dc);
        QPainter p(this);
        p.setFont(font());
        const QFontMetrics fm(font());
        const int top = std::max(0, fm.height() / 2 - 1);
        const int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine | Qt::TextShowMnemonic;
        QRect titleRect;
        if (!m_title.isEmpty()) {
            titleRect = p.boundingRect(QRect(kTitleLeft, 0, width(), fm.height()), flags, m_title);
            titleRect.adjust(-1, 0, 1, 0);  // the gap around the title
        }
        p.save();
        p.setClipRegion(QRegion(rect()) - QRegion(titleRect));
        DrawFrame(p, QRect(0, top, width(), height() - top));
        p.restore();
        if (m_title.isEmpty()) return;
        if (dc.bkMode != TRANSPARENT) p.fillRect(titleRect, palette().color(QPalette::Window));
        QColor colour =
            dc.textColorSet ? ToQColor(dc.textColor) : palette().color(QPalette::WindowText);
        if (!isEnabled()) colour = palette().color(QPalette::Disabled, QPalette::WindowText);
        p.setPen(colour);
        p.drawText(QRect(kTitleLeft, 0, width() - kTitleLeft, fm.height()), flags, m_title);
    }

private:
    static constexpr int kTitleLeft = 7;

    void DrawFrame(QPainter& p, const QRect& frame) const {
        if (frame.width() < 2 || frame.height() < 2) return;
        p.setBrush(Qt::NoBrush);
        if (m_impl->item->style & BS_FLAT) {
            p.setPen(palette().color(QPalette::Dark));
            p.drawRect(frame.adjusted(0, 0, -1, -1));
            return;
        }
        // Etched: a shadow line with a highlight line one pixel inside it.
        p.setPen(palette().color(QPalette::Dark));
        p.drawRect(frame.adjusted(0, 0, -2, -2));
        p.setPen(palette().color(QPalette::Light));
        p.drawRect(frame.adjusted(1, 1, -1, -1));
    }

    DialogHost* m_host;
    WindowImpl* m_impl;
    QString m_title;
};

// An automatic radio button: a click checks it and unchecks the others of its
// group; a checked one stays checked. The program may still set all of them
// unchecked, as on Windows.
class AutoRadio : public QRadioButton {
public:
    AutoRadio(DialogHost* host, WindowImpl* impl, const QString& text, QWidget* parent)
        : QRadioButton(text, parent), m_host(host), m_impl(impl) {
        setAutoExclusive(false);
    }

protected:
    void nextCheckState() override { m_host->CheckRadio(*m_impl); }
    // The whole control answers a click, as on Windows, not only its text.
    bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }

private:
    DialogHost* m_host;
    WindowImpl* m_impl;
};

class AutoCheckBox : public QCheckBox {
public:
    AutoCheckBox(const QString& text, QWidget* parent) : QCheckBox(text, parent) {
        setTristate(false);
    }

protected:
    bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }
};

QRect DluRect(const DialogItemTemplate& item, int baseX, int baseY) {
    return QRect(MulDiv(item.x, baseX, 4), MulDiv(item.y, baseY, 8), MulDiv(item.cx, baseX, 4),
                 MulDiv(item.cy, baseY, 8));
}

QWidget* MakeWidget(DialogHost* host, WindowImpl* impl, QWidget* parent) {
    const QString text = QString::fromUtf16(impl->item->text);
    switch (impl->item->kind) {
        case ControlKind::Edit: {
            auto* edit = new QLineEdit(parent);
            edit->setText(text);
            impl->object = std::make_unique<CEdit>();
            return edit;
        }
        case ControlKind::PushButton: {
            auto* button = new QPushButton(text, parent);
            button->setAutoDefault(false);
            button->setDefault(false);
            impl->object = std::make_unique<CButton>();
            return button;
        }
        case ControlKind::CheckBox: {
            impl->object = std::make_unique<CButton>();
            return new AutoCheckBox(text, parent);
        }
        case ControlKind::RadioButton:
            impl->object = std::make_unique<CButton>();
            return new AutoRadio(host, impl, text, parent);
        case ControlKind::Label:
            impl->object = std::make_unique<CStatic>();
            return new StaticLabel(host, impl, text, parent);
        case ControlKind::GroupBox:
            impl->object = std::make_unique<CButton>();
            return new GroupFrame(host, impl, text, parent);
        case ControlKind::ProgressBar: {
            auto* bar = new QProgressBar(parent);
            bar->setTextVisible(false);
            bar->setRange(0, 100);
            bar->setValue(0);
            impl->object = std::make_unique<CProgressCtrl>();
            return bar;
        }
    }
    return nullptr;
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
    QWidget* w = MakeWidget(this, impl.get(), m_window.widget);
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

void DialogHost::Key(QWidget* receiver, int key) {
    if (m_destroyed) return;
    if (key == Qt::Key_Escape) {
        Deliver(WM_COMMAND, MakeCommandParam(IDCANCEL, BN_CLICKED));
        return;
    }
    // A focused push button is the default button: Enter clicks it.
    for (auto& control : m_controls) {
        if (control->widget == receiver && control->item->kind == ControlKind::PushButton) {
            static_cast<QPushButton*>(receiver)->click();
            return;
        }
    }
    Deliver(WM_COMMAND, MakeCommandParam(IDOK, BN_CLICKED));
}

void DialogHost::CheckRadio(const WindowImpl& radio) {
    // A group runs from a control with WS_GROUP to the next one.
    std::size_t first = radio.index;
    while (first > 0 && !(m_controls[first]->item->style & WS_GROUP)) --first;
    std::size_t last = radio.index + 1;
    while (last < m_controls.size() && !(m_controls[last]->item->style & WS_GROUP)) ++last;
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
    for (auto& [id, timer] : m_timers) {
        if (timer.qtId != qtTimerId) continue;
        const UINT_PTR nIDEvent = id;
        if (timer.proc) {
            timer.proc(HwndOf(&m_window), WM_TIMER, nIDEvent, 0);
        } else {
            Deliver(WM_TIMER, nIDEvent);
        }
        return;
    }
}

// --- Per-kind access ----------------------------------------------------------

QString WindowText(const WindowImpl& wnd) {
    QWidget* w = wnd.widget;
    if (!w) return {};
    if (wnd.isDialog) return w->windowTitle();
    switch (wnd.item->kind) {
        case ControlKind::Edit:
            return static_cast<QLineEdit*>(w)->text();
        case ControlKind::PushButton:
        case ControlKind::CheckBox:
        case ControlKind::RadioButton:
            return static_cast<QAbstractButton*>(w)->text();
        case ControlKind::Label:
            return static_cast<QLabel*>(w)->text();
        case ControlKind::GroupBox:
            return static_cast<GroupFrame*>(w)->Title();
        case ControlKind::ProgressBar:
            return {};
    }
    return {};
}

void SetWindowText(WindowImpl& wnd, const QString& text) {
    QWidget* w = wnd.widget;
    if (!w) return;
    if (wnd.isDialog) {
        w->setWindowTitle(text);
        return;
    }
    switch (wnd.item->kind) {
        case ControlKind::Edit: {
            auto* edit = static_cast<QLineEdit*>(w);
            if (edit->text() == text && wnd.host) {
                wnd.host->Command(wnd, EN_CHANGE);
            } else {
                edit->setText(text);
            }
            return;
        }
        case ControlKind::PushButton:
        case ControlKind::CheckBox:
        case ControlKind::RadioButton:
            static_cast<QAbstractButton*>(w)->setText(text);
            return;
        case ControlKind::Label:
            static_cast<QLabel*>(w)->setText(text);
            return;
        case ControlKind::GroupBox:
            static_cast<GroupFrame*>(w)->SetTitle(text);
            return;
        case ControlKind::ProgressBar:
            return;
    }
}

UINT CheckState(const WindowImpl& wnd) {
    if (!wnd.widget || !wnd.item) return BST_UNCHECKED;
    if (wnd.item->kind != ControlKind::CheckBox && wnd.item->kind != ControlKind::RadioButton)
        return BST_UNCHECKED;
    return static_cast<QAbstractButton*>(wnd.widget.data())->isChecked() ? BST_CHECKED
                                                                         : BST_UNCHECKED;
}

void SetCheckState(WindowImpl& wnd, UINT state) {
    if (!wnd.widget || !wnd.item) return;
    if (wnd.item->kind != ControlKind::CheckBox && wnd.item->kind != ControlKind::RadioButton)
        return;
    static_cast<QAbstractButton*>(wnd.widget.data())->setChecked(state != BST_UNCHECKED);
}

void SetProgress(WindowImpl& wnd, int low, int high, int pos) {
    wnd.rangeLow = low;
    wnd.rangeHigh = high;
    wnd.pos = std::clamp(pos, std::min(low, high), std::max(low, high));
    if (!wnd.widget || !wnd.item || wnd.item->kind != ControlKind::ProgressBar) return;
    auto* bar = static_cast<QProgressBar*>(wnd.widget.data());
    // An empty range would make Qt's bar a busy indicator; Windows shows it empty.
    if (high > low) {
        bar->setRange(low, high);
        bar->setValue(wnd.pos);
    } else {
        bar->setRange(0, 1);
        bar->setValue(0);
    }
}

}  // namespace afx
