// Tests of the shell calls: the Pictures folder, folder chooser and ShellExecute.
#include "platform/win32/shell.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QApplication>
#include <QFileDialog>
#include <QTimer>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>
#include <vector>

#include "platform/win32/host_path.h"
#include "platform/win32/winuser.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testsupport::ScopedEnv;
using testsupport::TempDir;

// A home folder of the test's own, with no XDG configuration unless written.
class PicturesFolderTest : public ::testing::Test {
protected:
    TempDir m_root;
    fs::path m_home = m_root.Path() / "home";
    ScopedEnv m_homeEnv{"HOME", m_home.string()};
    ScopedEnv m_configEnv{"XDG_CONFIG_HOME", std::nullopt};

    void SetUp() override { fs::create_directories(m_home); }

    void WriteUserDirs(const fs::path& configDir, const std::string& text) {
        fs::create_directories(configDir);
        std::ofstream(configDir / "user-dirs.dirs") << text;
    }

    // The Pictures folder the shell reports, or nothing.
    std::optional<std::u16string> Pictures() {
        PIDLIST_ABSOLUTE pidl = reinterpret_cast<PIDLIST_ABSOLUTE>(1);
        const HRESULT hr = SHGetSpecialFolderLocation(nullptr, CSIDL_MYPICTURES, &pidl);
        if (hr != S_OK) {
            EXPECT_EQ(pidl, nullptr);
            return std::nullopt;
        }
        WCHAR path[MAX_PATH] = u"unchanged";
        EXPECT_TRUE(SHGetPathFromIDListW(pidl, path));
        ILFree(pidl);
        return std::u16string(path);
    }
};

TEST_F(PicturesFolderTest, DefaultsToPicturesInHome) {
    EXPECT_EQ(Pictures(), std::nullopt);
    fs::create_directory(m_home / "Pictures");
    EXPECT_EQ(Pictures(), u"C:\\Pictures");
}

TEST_F(PicturesFolderTest, FromTheUserDirectories) {
    fs::create_directory(m_home / "Pictures");
    fs::create_directory(m_home / "\xE5\x9B\xBE\xE7\x89\x87");
    WriteUserDirs(m_home / ".config",
                  "# written by the desktop\n"
                  "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
                  "XDG_PICTURES_DIR=\"$HOME/Pictures\"\n"
                  "  XDG_PICTURES_DIR=\"$HOME/\xE5\x9B\xBE\xE7\x89\x87\"\n");
    EXPECT_EQ(Pictures(), u"C:\\图片");  // the last assignment counts

    // A configured folder that does not exist: no Pictures folder at all.
    WriteUserDirs(m_home / ".config", "XDG_PICTURES_DIR=\"$HOME/Gone\"\n");
    EXPECT_EQ(Pictures(), std::nullopt);
}

TEST_F(PicturesFolderTest, ConfigHomeAbsolutePathsAndEscapes) {
    const fs::path config = m_root.Path() / "config";
    const fs::path outside = m_root.Path() / "My \"Pics\"";
    fs::create_directory(outside);
    ScopedEnv configEnv("XDG_CONFIG_HOME", config.string());
    WriteUserDirs(config,
                  "XDG_PICTURES_DIR=\"" + (m_root.Path() / "My \\\"Pics\\\"").string() + "\"\n");
    EXPECT_EQ(Pictures(), testsupport::WinPathOf(outside));

    // Values that are neither "$HOME/..." nor absolute are not used.
    fs::create_directory(m_home / "Pictures");
    WriteUserDirs(config, "XDG_PICTURES_DIR=relative/pics\nXDG_PICTURES_DIR=\"pics\"\n");
    EXPECT_EQ(Pictures(), u"C:\\Pictures");
}

class FolderChooserTest : public ::testing::Test {
protected:
    ~FolderChooserTest() override { win32::SetFolderChooserForTesting({}); }

    PIDLIST_ABSOLUTE Choose(std::optional<std::u16string> answer) {
        win32::SetFolderChooserForTesting([&, answer](const BROWSEINFOW& bi) {
            m_title = bi.lpszTitle;
            return answer;
        });
        BROWSEINFOW bi{};
        bi.lpszTitle = u"请选择路径: ";
        bi.ulFlags = BIF_RETURNONLYFSDIRS;
        return SHBrowseForFolderW(&bi);
    }

    std::u16string m_title;
};

// The answer becomes an item whose path fills the caller's buffer, or is
// refused when it does not fit.
TEST_F(FolderChooserTest, AnswerBecomesAnItemThatFitsTheBuffer) {
    EXPECT_EQ(Choose(std::nullopt), nullptr);
    EXPECT_EQ(m_title, u"请选择路径: ");

    const std::u16string fits = u"C:\\" + std::u16string(MAX_PATH - 4, u'x');  // 259 + terminator
    for (const std::u16string& answer : {std::u16string(u"D:\\Photos"), fits}) {
        PIDLIST_ABSOLUTE pidl = Choose(answer);
        ASSERT_NE(pidl, nullptr);
        WCHAR path[MAX_PATH];
        EXPECT_TRUE(SHGetPathFromIDListW(pidl, path));
        EXPECT_EQ(std::u16string(path), answer);
        CoTaskMemFree(pidl);
    }

    PIDLIST_ABSOLUTE pidl = Choose(fits + u"x");
    WCHAR path[MAX_PATH];
    path[0] = u'q';
    EXPECT_FALSE(SHGetPathFromIDListW(pidl, path));
    EXPECT_EQ(path[0], u'q');  // the caller's text is left alone
    ILFree(pidl);
}

// The real chooser, answered as a user would: a folder picked and confirmed,
// or the dialog cancelled.
class QtFolderChooserTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr)
            GTEST_SKIP() << "no application object";
    }

    PIDLIST_ABSOLUTE Browse(const std::function<void(QFileDialog*)>& answer,
                            QWidget* owner = nullptr) {
        QTimer poll;
        int ticks = 0;
        bool answered = false;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (dialog == nullptr) return;
            if (!answered) {
                answered = true;
                m_title = dialog->windowTitle();
                m_parent = dialog->parentWidget();
                answer(dialog);
            } else if (++ticks > 1000) {
                dialog->reject();  // the answer did not close it: do not hang
            }
        });
        poll.start(10);
        BROWSEINFOW bi{};
        bi.hwndOwner = reinterpret_cast<HWND>(owner);  // as the framework hands them out
        bi.lpszTitle = u"请选择路径: ";
        bi.ulFlags = BIF_RETURNONLYFSDIRS;
        return SHBrowseForFolderW(&bi);
    }

    QString m_title;
    QWidget* m_parent = nullptr;
};

TEST_F(QtFolderChooserTest, ConfirmedFolderInDriveFormOrNothing) {
    TempDir dir;
    const fs::path chosen = dir.Path() / "旅行 2024";
    fs::create_directory(chosen);
    PIDLIST_ABSOLUTE pidl = Browse([&](QFileDialog* d) {
        d->setDirectory(QString::fromStdString(dir.Path().string()));
        d->selectFile(QString::fromStdString(chosen.string()));
        static_cast<QDialog*>(d)->accept();  // QFileDialog::accept, as the OK button
    });
    ASSERT_NE(pidl, nullptr);
    EXPECT_EQ(m_title, QStringLiteral("请选择路径: "));
    WCHAR path[MAX_PATH];
    EXPECT_TRUE(SHGetPathFromIDListW(pidl, path));
    EXPECT_EQ(std::u16string(path), testsupport::WinPathOf(chosen));
    ILFree(pidl);

    // Cancelled, and modal to the owner's window.
    QWidget owner;
    owner.show();
    EXPECT_EQ(Browse([](QFileDialog* d) { d->reject(); }, &owner), nullptr);
    EXPECT_EQ(m_parent, &owner);
}

// ShellExecute with a stand-in for xdg-open that writes its arguments, one per
// NUL, to a file. The session bus points nowhere, so only xdg-open can answer.
class ExploreTest : public ::testing::Test {
protected:
    TempDir m_dir;
    fs::path m_log = m_dir.Path() / "argv.log";
    ScopedEnv m_path{"PATH", (m_dir.Path() / "bin").string() + ":/usr/bin:/bin"};
    ScopedEnv m_logEnv{"ORV_XDG_LOG", m_log.string()};
    ScopedEnv m_bus{"DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/orv-test-bus"};

    void SetUp() override {
        const auto script = m_dir.Write("bin/xdg-open",
                                        "#!/bin/sh\n"
                                        "for a in \"$@\"; do printf '%s\\0' \"$a\"; done"
                                        " > \"$ORV_XDG_LOG.tmp\"\n"
                                        "mv \"$ORV_XDG_LOG.tmp\" \"$ORV_XDG_LOG\"\n");
        fs::permissions(script, fs::perms::owner_all);
    }

    // The arguments xdg-open received; nothing if it did not run.
    std::optional<std::vector<std::string>> Received() {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!fs::exists(m_log) && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (!fs::exists(m_log)) return std::nullopt;
        const std::string raw = testsupport::ReadFileBytes(m_log);
        std::vector<std::string> args;
        for (std::size_t at = 0; at < raw.size();) {
            const std::size_t end = raw.find('\0', at);
            args.push_back(raw.substr(at, end - at));
            at = end + 1;
        }
        fs::remove(m_log);
        return args;
    }
};

TEST_F(ExploreTest, FolderNameReachesTheOpenerAsOneArgument) {
    const std::string name = "a b 'q' \"dq\" $HOME ; rm -rf x `id` \n-line \xFF";
    const fs::path folder = m_dir.Path() / name;
    fs::create_directory(folder);
    const std::u16string win = testsupport::WinPathOf(folder);
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(nullptr, u"explore", win.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    EXPECT_GT(result, 32);
    EXPECT_EQ(Received(), std::vector<std::string>{folder.string()});
}

TEST_F(ExploreTest, NothingStartsForFilesMissingFoldersOrOtherVerbs) {
    const auto file = m_dir.Write("photo.png", "x");
    const struct {
        const char16_t* verb;
        std::u16string path;
    } cases[] = {
        {u"explore", testsupport::WinPathOf(file)},
        {u"explore", m_dir.WinPath() + u"missing"},
        {u"explore", u"D:\\"},
        {u"explore", u""},
        {u"open", m_dir.WinPath()},
        {nullptr, m_dir.WinPath()},
    };
    for (const auto& c : cases) {
        const auto result = reinterpret_cast<INT_PTR>(
            ShellExecuteW(nullptr, c.verb, c.path.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
        EXPECT_LE(result, 32) << win32::NameToHost(c.path);
    }
    // Had any of them started the opener, its record would be there by now.
    EXPECT_TRUE(ShellExecuteW(nullptr, u"explore", m_dir.WinPath().c_str(), nullptr, nullptr,
                              SW_SHOWNORMAL) != nullptr);
    EXPECT_EQ(Received(), std::vector<std::string>{m_dir.Path().string()});
}

}  // namespace
