// The scan of the source folder (and its subfolders) into the job list.
#include "engine/scan.h"

#include <algorithm>
#include <vector>

#include "platform/framework/filefind.h"
#include "platform/gdiplus/save_temporary.h"
#include "ui/main_dialog.h"
#include "util/text.h"

namespace {

std::u16string JoinName(const std::u16string& folder, const std::u16string& name) {
    if (!folder.empty() && folder.back() == u'\\') return folder + name;
    return folder + u'\\' + name;
}

std::u16string FinalPathOf(const std::u16string& path) {
    std::u16string buffer(4096, u'\0');
    const DWORD n = GetFinalPathNameW(path.c_str(), buffer.data(),
                                      static_cast<DWORD>(buffer.size()), FILE_NAME_NORMALIZED);
    if (n == 0 || n >= buffer.size()) return path;
    buffer.resize(n);
    return buffer;
}

struct Subfolder {
    std::u16string path;
    std::u16string finalPath;  // where it really is, to see a loop
};

// Besides the two names of the shell's own files, the temporary of a save
// that was killed on its way is no picture of the user's.
bool IsSkippedName(const std::u16string& name) {
    return name == u"Thumbs.db" || name == u"Desktop.ini" ||
           gdip::IsSaveTemporaryName(std::u16string_view(name));
}

// ancestors: the real paths of the folders on the current descent path,
// this folder's included. folder is used as it is: only the path the user
// typed is trimmed, since a host folder's name may end in white space.
void ScanOne(const std::u16string& folder, JobList& rJobList, bool includeSubfolders,
             std::vector<std::u16string>& ancestors) {
    if (folder.empty() || !PathFileExistsW(folder.c_str())) return;
    std::u16string pattern = folder;
    if (pattern.back() != u'\\') pattern += u'\\';
    pattern += u"*.*";

    std::vector<Subfolder> subfolders;
    subfolders.reserve(includeSubfolders ? kJobListReserve : 0);
    CFileFind finder;
    BOOL more = finder.FindFile(pattern.c_str());
    while (more) {
        more = finder.FindNextFile();
        if (finder.IsDirectory()) {
            if (finder.IsDots() || !includeSubfolders) continue;
            Subfolder sub{finder.GetFilePath(), {}};
            sub.finalPath = finder.IsReparsePoint()
                                ? FinalPathOf(sub.path)
                                : JoinName(ancestors.back(), finder.GetFileName());
            subfolders.push_back(std::move(sub));
            continue;
        }
        std::u16string name = finder.GetFileName();
        if (IsSkippedName(name)) continue;
        rJobList.push_back(finder.GetFilePath());
    }
    // The search is closed before descending: one open search at a time.
    finder.Close();

    for (const Subfolder& sub : subfolders) {
        if (std::find(ancestors.begin(), ancestors.end(), sub.finalPath) != ancestors.end())
            continue;
        ancestors.push_back(sub.finalPath);
        ScanOne(sub.path, rJobList, true, ancestors);
        ancestors.pop_back();
    }
}

}  // namespace

void ScanTree(const std::u16string& folder, JobList& rJobList, bool includeSubfolders) {
    const std::u16string root = util::TrimText(folder);
    std::vector<std::u16string> ancestors{FinalPathOf(root)};
    ScanOne(root, rJobList, includeSubfolders, ancestors);
}

void CConverterDlg::ScanFolder(std::u16string strFolder, JobList& rJobList,
                               bool bIncludeSubfolders) {
    ScanTree(strFolder, rJobList, bIncludeSubfolders);
}
