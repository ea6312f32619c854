// Test helpers that drive a dialog through its real widgets with QTest.
#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QFontInfo>
#include <QImage>
#include <QLineEdit>
#include <QMimeData>
#include <QPixmap>
#include <QScreen>
#include <QTest>
#include <QWidget>

#include "framework_impl.h"
#include "testing_qt.h"

namespace afx::testing {

QWidget* WidgetOf(const CWnd* pWnd) {
    return pWnd && pWnd->Impl() ? pWnd->Impl()->widget.data() : nullptr;
}

QWidget* WindowOf(const CDialog* pDlg) {
    return WidgetOf(pDlg);
}

void Click(CWnd* pControl) {
    QWidget* w = WidgetOf(pControl);
    if (!w || !w->isVisible() || !w->isEnabled()) return;
    QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, w->rect().center());
}

namespace {

// One key press per character, a surrogate pair travelling as one text.
void SendCharacters(QWidget* target, const std::u16string& text) {
    const QString all = QString::fromStdU16String(text);
    for (qsizetype i = 0; i < all.size();) {
        const qsizetype len = (all.at(i).isHighSurrogate() && i + 1 < all.size()) ? 2 : 1;
        const QString ch = all.mid(i, len);
        const char16_t unit = all.at(i).unicode();
        Qt::Key key = Qt::Key_unknown;
        if (unit >= 0x20 && unit < 0x7F)
            key = static_cast<Qt::Key>(QChar(unit).toUpper().unicode());
        QTest::sendKeyEvent(QTest::Click, target, key, ch, Qt::NoModifier);
        i += len;
    }
}

QWidget* KeyTarget(CDialog* pDlg) {
    QWidget* window = WindowOf(pDlg);
    if (!window) return nullptr;
    QWidget* focus = QApplication::focusWidget();
    return focus && focus->window() == window ? focus : window;
}

}  // namespace

void Type(CWnd* pEdit, const std::u16string& text) {
    auto* edit = qobject_cast<QLineEdit*>(WidgetOf(pEdit));
    if (!edit || !edit->isEnabled()) return;
    edit->setFocus(Qt::MouseFocusReason);
    edit->selectAll();
    if (text.empty()) {
        QTest::keyClick(edit, Qt::Key_Delete);
        return;
    }
    SendCharacters(edit, text);
}

void TypeKeys(CDialog* pDlg, const std::u16string& text) {
    if (QWidget* target = KeyTarget(pDlg)) SendCharacters(target, text);
}

void PressEnter(CDialog* pDlg) {
    if (QWidget* target = KeyTarget(pDlg)) QTest::keyClick(target, Qt::Key_Return);
}

void PressEscape(CDialog* pDlg) {
    if (QWidget* target = KeyTarget(pDlg)) QTest::keyClick(target, Qt::Key_Escape);
}

void RequestClose(CDialog* pDlg) {
    if (QWidget* window = WindowOf(pDlg)) window->close();
}

void PressKey(CDialog* pDlg, Key key) {
    QWidget* target = KeyTarget(pDlg);
    if (target == nullptr) return;
    switch (key) {
        case Key::Tab:
            QTest::keyClick(target, Qt::Key_Tab);
            return;
        case Key::Backtab:
            QTest::keyClick(target, Qt::Key_Backtab, Qt::ShiftModifier);
            return;
        case Key::Up:
            QTest::keyClick(target, Qt::Key_Up);
            return;
        case Key::Down:
            QTest::keyClick(target, Qt::Key_Down);
            return;
        case Key::Left:
            QTest::keyClick(target, Qt::Key_Left);
            return;
        case Key::Right:
            QTest::keyClick(target, Qt::Key_Right);
            return;
        case Key::Space:
            QTest::keyClick(target, Qt::Key_Space);
            return;
    }
}

bool DropFiles(CWnd* pOver, const std::vector<std::string>& hostPaths) {
    QWidget* over = WidgetOf(pOver);
    if (!over) return false;
    QWidget* window = over->window();
    const QPoint inWindow = over->mapTo(window, over->rect().center());
    QWidget* target = window->childAt(inWindow);
    if (!target) target = window;
    while (target != window && !target->acceptDrops()) target = target->parentWidget();
    if (!target->acceptDrops()) return false;
    QMimeData data;
    QList<QUrl> urls;
    for (const std::string& path : hostPaths)
        urls.push_back(
            QUrl::fromEncoded("file://" + QByteArray::fromStdString(path).toPercentEncoding("/")));
    data.setUrls(urls);
    const QPointF at = target->mapFrom(window, inWindow);
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted()) return false;
    QDragMoveEvent move(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &move);
    if (!move.isAccepted()) return false;
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    return drop.isAccepted();
}

bool PumpUntil(const std::function<bool()>& pred, std::chrono::milliseconds timeout) {
    return QTest::qWaitFor(pred, static_cast<int>(timeout.count()));
}

void PumpOnce() {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

QImage Grab(CDialog* pDlg) {
    QWidget* window = WindowOf(pDlg);
    return window ? window->grab().toImage() : QImage();
}

int RegisteredTimers(CDialog* pDlg) {
    QWidget* window = WindowOf(pDlg);
    QAbstractEventDispatcher* loop = QAbstractEventDispatcher::instance();
    return window && loop ? static_cast<int>(loop->registeredTimers(window).size()) : 0;
}

QImage GrabScreen(CDialog* pDlg) {
    QWidget* window = WindowOf(pDlg);
    if (window == nullptr || window->screen() == nullptr) return QImage();
    return window->screen()->grabWindow(window->winId()).toImage();
}

int ClosestToColour(CDialog* pDlg, const CWnd* pControl, COLORREF colour) {
    const QImage image = Grab(pDlg);
    const RECT r = ControlRect(pControl);
    int best = 3 * 255;
    for (int y = std::max<int>(0, r.top); y < std::min<int>(image.height(), r.bottom); ++y)
        for (int x = std::max<int>(0, r.left); x < std::min<int>(image.width(), r.right); ++x) {
            const QRgb p = image.pixel(x, y);
            best = std::min(best, std::abs(qRed(p) - GetRValue(colour)) +
                                      std::abs(qGreen(p) - GetGValue(colour)) +
                                      std::abs(qBlue(p) - GetBValue(colour)));
        }
    return best;
}

std::u16string ResolvedFamily(const CWnd* pControl) {
    QWidget* w = WidgetOf(pControl);
    return w ? QFontInfo(w->font()).family().toStdU16String() : std::u16string();
}

RECT ControlRect(const CWnd* pControl) {
    QWidget* w = WidgetOf(pControl);
    if (!w) return RECT{0, 0, 0, 0};
    const QRect g = w->geometry();
    return RECT{g.left(), g.top(), g.left() + g.width(), g.top() + g.height()};
}

}  // namespace afx::testing
