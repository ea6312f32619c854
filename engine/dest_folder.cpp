// Creating the destination folder, level by level.
#include "engine/dest_folder.h"

#include "platform/win32/fileapi.h"
#include "ui/main_dialog.h"
#include "util/text.h"

bool CreateFolderLevels(std::u16string& rPath) {
    rPath = util::NormaliseFolderPath(util::TrimText(rPath));
    const std::size_t n = rPath.size();
    if (n == 1) return true;
    // Levels are the texts in front of each backslash after the first
    // character, so a leading backslash never makes an empty level.
    std::size_t p = 0;
    for (;;) {
        const std::size_t found = p + 1 < n ? rPath.find(u'\\', p + 1) : std::u16string::npos;
        if (found == std::u16string::npos) return true;  // unreachable: the path ends in "\"
        p = found;
        const std::u16string level = util::LeftPart(rPath, static_cast<long long>(p));
        if (!level.empty() && !PathFileExistsW(level.c_str()) &&
            !CreateDirectoryW(level.c_str(), nullptr))
            return false;
        if (p == n - 1) return true;
    }
}

bool CConverterDlg::CreateDestinationFolder(std::u16string& rPath) {
    return CreateFolderLevels(rPath);
}
