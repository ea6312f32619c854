// The folder pickers and the buttons that open a folder in the file manager.
#include "platform/win32/fileapi.h"
#include "platform/win32/shell.h"
#include "platform/win32/winuser.h"
#include "res/resource.h"
#include "ui/main_dialog.h"
#include "util/text.h"

namespace {
constexpr char16_t kBrowseTitle[] = u"请选择路径: ";
constexpr char16_t kPicturesNameChinese[] = u"图片收藏";
constexpr char16_t kPicturesNameEnglish[] = u"My Pictures";

std::u16string WindowTitle(HWND hwnd) {
    const int length = GetWindowTextLengthW(hwnd);
    if (length <= 0) return {};
    std::u16string title(static_cast<std::size_t>(length) + 1, u'\0');
    const int copied = GetWindowTextW(hwnd, title.data(), length + 1);
    title.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    return title;
}
}  // namespace

void CConverterDlg::OnBrowseSource() {
    BrowseForFolder(IDC_SOURCE_PATH);
}
void CConverterDlg::OnBrowseDestination() {
    BrowseForFolder(IDC_SAVE_PATH);
}
void CConverterDlg::OnOpenSource() {
    OpenFolderInExplorer(IDC_SOURCE_PATH, IDC_OPEN_SOURCE);
}
void CConverterDlg::OnOpenDestination() {
    OpenFolderInExplorer(IDC_SAVE_PATH, IDC_OPEN_SAVE);
}
void CConverterDlg::OnSourcePathChanged() {
    UpdateSourceOpenButton();
}
void CConverterDlg::OnDestinationPathChanged() {
    UpdateDestinationOpenButton();
}
void CConverterDlg::UpdateSourceOpenButton() {
    UpdateOpenButton(IDC_SOURCE_PATH, IDC_OPEN_SOURCE);
}
void CConverterDlg::UpdateDestinationOpenButton() {
    UpdateOpenButton(IDC_SAVE_PATH, IDC_OPEN_SAVE);
}

void CConverterDlg::UpdateOpenButton(int nEditId, int nButtonId) {
    std::u16string text;
    GetDlgItemTextW(nEditId, text);
    const std::u16string path = util::NormaliseFolderPath(text);
    GetDlgItem(nButtonId)->EnableWindow(PathFileExistsW(path.c_str()));
}

void CConverterDlg::BrowseForFolder(int nEditId) {
    BROWSEINFOW info{};
    info.hwndOwner = GetSafeHwnd();
    info.pidlRoot = nullptr;
    info.pszDisplayName = nullptr;
    info.lpszTitle = kBrowseTitle;
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    info.lpfn = nullptr;
    info.lParam = 0;
    PIDLIST_ABSOLUTE item = SHBrowseForFolderW(&info);
    if (item != nullptr) {
        WCHAR buffer[MAX_PATH] = {};
        if (SHGetPathFromIDListW(item, buffer)) {
            const std::u16string path = util::NormaliseFolderPath(util::TrimText(buffer));
            SetDlgItemTextW(nEditId, path.c_str());
        }
        ILFree(item);
    }
    GetDlgItem(nEditId)->SetFocus();
}

void CConverterDlg::OpenFolderInExplorer(int nEditId, int nButtonId) {
    GetDlgItem(nButtonId)->EnableWindow(FALSE);
    std::u16string text;
    GetDlgItemTextW(nEditId, text);
    const std::u16string path = util::NormaliseFolderPath(text);
    const std::u16string leaf = util::FolderLeafName(path);
    if (PathFileExistsW(path.c_str())) {
        HWND found = nullptr;
        if (leaf == kPicturesNameChinese || leaf == kPicturesNameEnglish) {
            found = FindFolderWindow(kPicturesNameChinese);
            if (found == nullptr) found = FindFolderWindow(kPicturesNameEnglish);
        } else {
            found = FindFolderWindow(leaf);
        }
        bool shown = false;
        if (found != nullptr) {
            ::ShowWindow(found, SW_SHOWNORMAL);
            shown = ::SetForegroundWindow(found) != FALSE;
        }
        if (!shown)
            ShellExecuteW(GetSafeHwnd(), u"explore", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    }
    GetDlgItem(nButtonId)->EnableWindow(TRUE);
    GetDlgItem(nEditId)->SetFocus();
}

HWND CConverterDlg::FindFolderWindow(const std::u16string& strName) {
    const std::u16string name = util::UpperCaseAscii(util::TrimText(strName));
    const std::u16string inParentheses = u"(" + name + u")";
    for (HWND hwnd = ::GetWindow(GetSafeHwnd(), GW_HWNDFIRST); hwnd != nullptr;
         hwnd = ::GetWindow(hwnd, GW_HWNDNEXT)) {
        if (!::IsWindowVisible(hwnd)) continue;
        const std::u16string raw = WindowTitle(hwnd);
        if (raw.empty() || ::GetParent(hwnd) != nullptr) continue;
        const std::u16string title = util::UpperCaseAscii(util::TrimText(raw));
        if (title == name || title.find(inParentheses) != std::u16string::npos) return hwnd;
    }
    return nullptr;
}
