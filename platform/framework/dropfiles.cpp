// WM_DROPFILES made from the toolkit's drop events. A window that accepts
// files gets an event filter that takes drags carrying local files and turns
// the drop into one message; its controls take no drops of their own, so a
// drop anywhere on the window reaches the window, as on Windows.
#include "dropfiles.h"

#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QWidget>
#include <algorithm>
#include <string>
#include <vector>

#include "../win32/common.h"
#include "../win32/host_path.h"
#include "framework_impl.h"

struct HDROP__ {
    std::vector<std::u16string> files;  // drive form
    POINT point{0, 0};
    bool inClient = false;
};

namespace afx {
namespace {

const char kDropFilterName[] = "afx.dropfiles";

// Only a live widget of ours is ever dereferenced; any other handle is
// ignored.
QWidget* LiveWidget(HWND hWnd) {
    if (hWnd == nullptr) return nullptr;
    const auto widgets = QApplication::allWidgets();
    const auto it = std::find(widgets.begin(), widgets.end(), reinterpret_cast<QWidget*>(hWnd));
    return it == widgets.end() ? nullptr : *it;
}

// A local file's path in drive form. The URL's percent-encoded bytes are
// decoded as bytes, so a name that is not valid UTF-8 survives the trip.
bool LocalPath(const QUrl& url, std::u16string& out) {
    if (!url.isValid() || url.scheme() != QLatin1String("file")) return false;
    const QString host = url.host();
    if (!host.isEmpty() && host != QLatin1String("localhost")) return false;
    const QByteArray bytes =
        QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
    if (bytes.isEmpty() || bytes.front() != '/') return false;
    out = win32::FromHostPath(std::string_view(bytes.constData(), bytes.size()));
    return true;
}

std::vector<std::u16string> LocalFiles(const QMimeData* data) {
    std::vector<std::u16string> files;
    if (!data || !data->hasUrls()) return files;
    for (const QUrl& url : data->urls()) {
        std::u16string path;
        if (LocalPath(url, path)) files.push_back(std::move(path));
    }
    return files;
}

class DropFilter : public QObject {
public:
    explicit DropFilter(QWidget* window) : QObject(window), m_window(window) {
        setObjectName(QLatin1String(kDropFilterName));
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != m_window) return false;
        switch (event->type()) {
            case QEvent::DragEnter:
            case QEvent::DragMove: {
                auto* e = static_cast<QDropEvent*>(event);
                if (LocalFiles(e->mimeData()).empty()) {
                    e->ignore();
                } else {
                    e->setDropAction(Qt::CopyAction);
                    e->accept();
                }
                return true;
            }
            case QEvent::Drop:
                Dropped(static_cast<QDropEvent*>(event));
                return true;
            default:
                return false;
        }
    }

private:
    void Dropped(QDropEvent* e) {
        HDROP__ drop;
        drop.files = LocalFiles(e->mimeData());
        if (drop.files.empty()) {
            e->ignore();
            return;
        }
        const QPoint at = e->position().toPoint();
        drop.point = POINT{at.x(), at.y()};
        drop.inClient = m_window->rect().contains(at);
        e->setDropAction(Qt::CopyAction);
        e->accept();
        WindowImpl* impl = ImplOfWidget(m_window);
        if (!impl || !impl->host || impl->host->Destroyed()) return;
        CWnd* target = impl->isDialog ? impl->host->Dialog() : impl->object.get();
        // The data lives here for the message's length; a handler that does
        // not call DragFinish leaks nothing.
        if (target) WindowImpl::Send(target, WM_DROPFILES, reinterpret_cast<WPARAM>(&drop), 0);
    }

    QWidget* m_window;
};

}  // namespace
}  // namespace afx

void DragAcceptFiles(HWND hWnd, BOOL fAccept) {
    QWidget* window = afx::LiveWidget(hWnd);
    if (!window) return;
    auto* filter = window->findChild<QObject*>(QLatin1String(afx::kDropFilterName),
                                               Qt::FindDirectChildrenOnly);
    if (!fAccept) {
        delete filter;
        window->setAcceptDrops(false);
        return;
    }
    if (!filter) window->installEventFilter(new afx::DropFilter(window));
    // The toolkit gives a drag to the innermost widget that takes drops; its
    // text edits would otherwise take the drop as text.
    for (QWidget* child : window->findChildren<QWidget*>()) child->setAcceptDrops(false);
    window->setAcceptDrops(true);
}

UINT DragQueryFileW(HDROP hDrop, UINT iFile, LPWSTR lpszFile, UINT cch) {
    if (hDrop == nullptr) return 0;
    if (iFile == 0xFFFFFFFF) return static_cast<UINT>(hDrop->files.size());
    if (iFile >= hDrop->files.size()) return 0;
    const std::u16string& file = hDrop->files[iFile];
    if (lpszFile == nullptr) return static_cast<UINT>(file.size());
    if (cch == 0) return 0;
    return static_cast<UINT>(win32::CopyTruncated(file, lpszFile, cch));
}

BOOL DragQueryPoint(HDROP hDrop, POINT* ppt) {
    if (hDrop == nullptr || ppt == nullptr) return FALSE;
    *ppt = hDrop->point;
    return hDrop->inClient ? TRUE : FALSE;
}

void DragFinish(HDROP hDrop) {
    if (hDrop == nullptr) return;
    hDrop->files.clear();
    hDrop->files.shrink_to_fit();
}

HWND ChildWindowFromPoint(HWND hWndParent, POINT Point) {
    QWidget* parent = afx::LiveWidget(hWndParent);
    if (!parent) return nullptr;
    const QPoint at(Point.x, Point.y);
    if (!parent->rect().contains(at)) return nullptr;
    QWidget* best = nullptr;
    std::size_t bestIndex = 0;
    for (QWidget* child : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        const afx::WindowImpl* impl = afx::ImplOfWidget(child);
        if (!impl || !impl->item || !child->geometry().contains(at)) continue;
        if (!best || impl->index < bestIndex) {
            best = child;
            bestIndex = impl->index;
        }
    }
    return reinterpret_cast<HWND>(best ? best : parent);
}
