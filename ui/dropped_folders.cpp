// Folders dropped on the window from the file manager.
#include "platform/framework/dropfiles.h"
#include "platform/win32/fileapi.h"
#include "res/resource.h"
#include "ui/main_dialog.h"
#include "util/text.h"

namespace {

constexpr UINT kFileCount = 0xFFFFFFFF;

std::u16string FirstDroppedItem(HDROP hDrop) {
    if (DragQueryFileW(hDrop, kFileCount, nullptr, 0) == 0) return {};
    std::u16string path(DragQueryFileW(hDrop, 0, nullptr, 0) + std::size_t{1}, u'\0');
    path.resize(DragQueryFileW(hDrop, 0, path.data(), static_cast<UINT>(path.size())));
    return path;
}

// A folder stands for itself, a file for the folder that holds it; an item
// that is gone by now stands for nothing.
std::u16string FolderOf(const std::u16string& item) {
    if (item.empty()) return {};
    if (PathIsDirectoryW(item.c_str())) return item;
    if (!PathFileExistsW(item.c_str())) return {};
    const std::size_t slash = item.rfind(u'\\');
    return slash == std::u16string::npos ? std::u16string() : item.substr(0, slash + 1);
}

}  // namespace

// On the destination edit a dropped folder goes there; anywhere else on the
// window it goes into the source edit. Of several items the first counts.
// The path is written as Browse writes it, and the field's Open button
// follows through EN_CHANGE.
void CConverterDlg::OnDropFiles(HDROP hDropInfo) {
    POINT point{0, 0};
    DragQueryPoint(hDropInfo, &point);
    CWnd* pDestination = GetDlgItem(IDC_SAVE_PATH);
    const int nEditId = ChildWindowFromPoint(GetSafeHwnd(), point) == pDestination->GetSafeHwnd()
                            ? IDC_SAVE_PATH
                            : IDC_SOURCE_PATH;
    const std::u16string folder = FolderOf(FirstDroppedItem(hDropInfo));
    DragFinish(hDropInfo);
    // The paths of a run in progress cannot change: its edits are disabled.
    if (m_runState != RunState::Idle || !GetDlgItem(nEditId)->IsWindowEnabled()) return;
    if (folder.empty()) return;
    SetDlgItemTextW(nEditId, util::NormaliseFolderPath(util::TrimText(folder)).c_str());
}
