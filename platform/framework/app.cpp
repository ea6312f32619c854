// The Qt side of the application: the Qt application, the icons, the loop and
// the message box.
#include <QApplication>
#include <QFont>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QTranslator>
#include <map>

#include "afxwin.h"
#include "framework_impl.h"
#include "platform/win32/resources.h"

namespace {

// Icons are shared, as LoadIcon's are: one object per resource, never freed.
std::map<UINT, std::unique_ptr<afx::IconImpl>>& IconCache() {
    static auto* cache = new std::map<UINT, std::unique_ptr<afx::IconImpl>>();
    return *cache;
}

QString FromWide(LPCWSTR s) {
    return s ? QString::fromUtf16(s) : QString();
}

}  // namespace

namespace afx {

void RunAppLoop() {
    QApplication::exec();
}

void EndAppLoop() {
    QCoreApplication::exit(0);
}

}  // namespace afx

HICON CWinApp::LoadIconW(UINT nIDResource) const {
    auto& cache = IconCache();
    if (auto it = cache.find(nIDResource); it != cache.end())
        return afx::ToHandle(it->second.get());
    // Pixmaps need the GUI application.
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return nullptr;
    const win32::ResourceEntry* res =
        win32::FindResourceEntry(win32::ResourceType::IconGroup, nIDResource);
    if (!res || !res->data) return nullptr;
    QIcon icon = afx::IconFromIcoBytes(static_cast<const unsigned char*>(res->data), res->size);
    if (icon.isNull()) return nullptr;
    auto impl = std::make_unique<afx::IconImpl>();
    impl->icon = std::move(icon);
    HICON handle = afx::ToHandle(impl.get());
    cache[nIDResource] = std::move(impl);
    return handle;
}

void AfxInitFramework(int& argc, char** argv) {
    if (!QCoreApplication::instance()) {
        // QApplication keeps a reference to argc for its whole life.
        static int s_argc = argc;
        new QApplication(s_argc, argv);
    }
    // The program's windows close only when it destroys them.
    if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance()))
        app->setQuitOnLastWindowClosed(false);
    // The face names of the Windows templates, mapped to installed fonts that
    // hold the Chinese glyphs; a test checks that they really resolve.
    QFont::insertSubstitution(QStringLiteral("MS Shell Dlg"),
                              QStringLiteral("WenQuanYi Micro Hei"));
    QFont::insertSubstitution(QString::fromUtf16(u"楷体_GB2312"), QStringLiteral("AR PL UKai CN"));
    // The desktop's own dialogs (the folder chooser) speak the user's
    // language, as the system's dialogs do for a Windows program.
    static QTranslator* s_translator = nullptr;
    if (s_translator == nullptr) {
        s_translator = new QTranslator(QCoreApplication::instance());
        if (s_translator->load(QLocale::system(), QStringLiteral("qtbase"), QStringLiteral("_"),
                               QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
            QCoreApplication::installTranslator(s_translator);
    }
}

int afx::ShowMessageBox(HWND hWnd, LPCWSTR lpText, LPCWSTR lpCaption, UINT) {
    QMessageBox box(reinterpret_cast<QWidget*>(hWnd));
    box.setIcon(QMessageBox::NoIcon);
    box.setWindowTitle(FromWide(lpCaption));
    box.setTextFormat(Qt::PlainText);
    box.setText(FromWide(lpText));
    QPushButton* ok = box.addButton(QString::fromUtf16(u"确定"), QMessageBox::AcceptRole);
    box.setDefaultButton(ok);
    box.setEscapeButton(ok);
    box.exec();
    return IDOK;
}

// Qt's progress bar needs no class registration; the call stays so that the
// program's start-up reads as it would on Windows.
void InitCommonControls() {}

// The dialogs host no ActiveX controls on this platform; nothing to switch on.
void AfxEnableControlContainer() {}
