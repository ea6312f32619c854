// The controls of a dialog: one Qt widget per kind, with the Windows
// behaviour the program relies on, and reading and writing their state.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <algorithm>

#include "afxwin.h"
#include "framework_impl.h"

namespace afx {
namespace {

// The text colour that the dialog's OnCtlColor chose for a static or group
// box, the default one when it chose none, and grey while it is disabled.
QColor TextColourOf(const QWidget& widget, const DcImpl& dc) {
    if (!widget.isEnabled())
        return widget.palette().color(QPalette::Disabled, QPalette::WindowText);
    return dc.textColorSet ? ToQColor(dc.textColor) : widget.palette().color(QPalette::WindowText);
}

// A static text control: asks the dialog for its colours before each drawing
// and draws its text as a Windows static does (word wrap, & prefixes).
class StaticLabel : public QLabel {
public:
    StaticLabel(DialogHost* host, WindowImpl* impl, const QString& text, QWidget* parent)
        : QLabel(parent), m_host(host), m_impl(impl) {
        setTextFormat(Qt::PlainText);
        // A static lets clicks through to what lies beneath, as on Windows.
        setAttribute(Qt::WA_TransparentForMouseEvents);
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
        p.setPen(TextColourOf(*this, dc));
        p.drawText(r, m_flags, text());
    }

private:
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
        p.setPen(TextColourOf(*this, dc));
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

}  // namespace

QWidget* CreateControlWidget(DialogHost* host, WindowImpl* impl, QWidget* parent) {
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
            break;
        case ControlKind::Label:
            static_cast<QLabel*>(w)->setText(text);
            break;
        case ControlKind::GroupBox:
            static_cast<GroupFrame*>(w)->SetTitle(text);
            break;
        case ControlKind::ProgressBar:
            return;
    }
    DrawNow(w);
}

void DrawNow(QWidget* widget) {
    if (widget == nullptr || !widget->isVisible()) return;
    // A control asked to change while a window is being painted (a paint or
    // colour handler that sets a text) is drawn with the next paint instead.
    if (widget->paintingActive() || widget->window()->paintingActive()) {
        widget->update();
        return;
    }
    widget->repaint();
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
