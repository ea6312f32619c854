// The settings check before a run, with the message for each refusal.
#include "engine/validate.h"

#include "engine/report.h"
#include "engine/transcode.h"
#include "platform/win32/fileapi.h"
#include "res/resource.h"
#include "ui/main_dialog.h"
#include "util/text.h"

bool CConverterDlg::ValidateSettings() {
    auto fail = [this](const char16_t* message) {
        ShowStatusMessage(message, kColourRed);
        return false;
    };
    auto checked = [this](int id) { return IsDlgButtonChecked(id) == BST_CHECKED; };
    auto trimmedText = [this](int id) {
        std::u16string text;
        GetDlgItemTextW(id, text);
        return util::TrimText(text);
    };

    const std::u16string source = trimmedText(IDC_SOURCE_PATH);
    std::u16string destination = trimmedText(IDC_SAVE_PATH);

    if (source.empty() || !PathFileExistsW(source.c_str())) return fail(kMessageBadSource);
    bool anyFormat = checked(IDC_SELECT_ALL);
    for (const FormatRow& row : kFormatTable) anyFormat = anyFormat || checked(row.checkboxId);
    if (!anyFormat) return fail(kMessageNoFormat);
    if (destination.empty()) return fail(kMessageBadDestination);
    if (checked(IDC_POLICY_PREFIX) && trimmedText(IDC_PREFIX).empty())
        return fail(kMessageNoPrefix);
    if (checked(IDC_POLICY_SUFFIX) && trimmedText(IDC_SUFFIX).empty())
        return fail(kMessageNoSuffix);
    if (!checked(IDC_POLICY_PREFIX) && !checked(IDC_POLICY_SUFFIX) &&
        !checked(IDC_POLICY_OVERWRITE))
        return fail(kMessageNoPolicy);
    if (!CreateDestinationFolder(destination)) return fail(kMessageCreateFolderFailed);
    return true;
}
