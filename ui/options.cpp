// The option controls: select-all and the format boxes, the clash policy and its examples.
#include "engine/transcode.h"
#include "res/resource.h"
#include "ui/main_dialog.h"
#include "util/text.h"

namespace {
constexpr char16_t kPrefixHead[] = u"( 比如, \"某文件.PNG\" 会被存成 \"";
constexpr char16_t kPrefixTail[] = u"某文件.PNG\" )";
constexpr char16_t kSuffixHead[] = u"( 比如, \"某文件.PNG\" 会被存成 \"某文件";
constexpr char16_t kSuffixTail[] = u".PNG\" )";
}  // namespace

void CConverterDlg::OnSelectAllClicked() {
    const UINT state = IsDlgButtonChecked(IDC_SELECT_ALL);
    if (state != BST_UNCHECKED && state != BST_CHECKED) return;
    for (const FormatRow& row : kFormatTable) CheckDlgButton(row.checkboxId, state);
}

void CConverterDlg::OnFormatClicked() {
    UpdateSelectAll();
}

void CConverterDlg::UpdateSelectAll() {
    std::size_t ticked = 0;
    for (const FormatRow& row : kFormatTable)
        if (IsDlgButtonChecked(row.checkboxId) == BST_CHECKED) ++ticked;
    CheckDlgButton(IDC_SELECT_ALL, ticked == kFormatTable.size() ? BST_CHECKED : BST_UNCHECKED);
}

void CConverterDlg::OnPolicyClicked() {
    UpdateAffixEdits();
}

void CConverterDlg::UpdateAffixEdits() {
    GetDlgItem(IDC_PREFIX)->EnableWindow(IsDlgButtonChecked(IDC_POLICY_PREFIX) == BST_CHECKED);
    GetDlgItem(IDC_SUFFIX)->EnableWindow(IsDlgButtonChecked(IDC_POLICY_SUFFIX) == BST_CHECKED);
}

void CConverterDlg::SetExampleLine(int nEditId, int nLineId, const char16_t* head,
                                   const char16_t* tail) {
    std::u16string affix;
    GetDlgItemTextW(nEditId, affix);
    const std::u16string line = head + util::TrimText(affix) + tail;
    SetDlgItemTextW(nLineId, line.c_str());
}

void CConverterDlg::OnPrefixChanged() {
    SetExampleLine(IDC_PREFIX, IDC_PREFIX_EXAMPLE, kPrefixHead, kPrefixTail);
}

void CConverterDlg::OnSuffixChanged() {
    SetExampleLine(IDC_SUFFIX, IDC_SUFFIX_EXAMPLE, kSuffixHead, kSuffixTail);
}
