// The counts line, the progress position and the coloured end-of-run message.
#include "engine/report.h"

#include "res/resource.h"
#include "ui/main_dialog.h"
#include "util/text.h"

std::u16string FormatStatusText(const RunCounters& c, StatusLineForm form) {
    std::u16string text = u"已处理文件数： " + util::FormatCount(c.processed);
    text += u"；     文件总数： " + util::FormatCount(c.total);
    text += u"；     可识别图片文件数： " + util::FormatCount(c.recognised);
    text += u"；     已保存文件数： " + util::FormatCount(c.saved);
    if (form == StatusLineForm::Final)
        text += u"；     应保存文件数： " + util::FormatCount(c.expected);
    text += u"；";
    return text;
}

int ProgressPosition(const RunCounters& c) {
    if (c.total == 0) return 0;
    return static_cast<int>(static_cast<double>(c.processed) * 100.0 / c.total);
}

RunOutcome ClassifyRun(const RunCounters& c) {
    if (c.expected == c.saved && c.total == c.processed) return {kMessageComplete, kColourComplete};
    if (c.saved > 0 && c.expected != c.saved) return {kMessagePartial, kColourPartial};
    if (c.processed > 0 && c.total != c.processed) return {kMessagePartial, kColourPartial};
    return {kMessageFailed, kColourRed};
}

std::u16string CConverterDlg::FormatStatusLine(StatusLineForm form) const {
    return FormatStatusText(Counters(), form);
}

void CConverterDlg::SetProgressPosition() {
    m_progress.SetPos(ProgressPosition(Counters()));
}

void CConverterDlg::ShowStatusMessage(const std::u16string& strText, COLORREF colour) {
    // The colour first: setting the text redraws the line, already in it.
    m_statusColour = colour;
    SetDlgItemTextW(IDC_STATUS_MESSAGE, strText.c_str());
}

void CConverterDlg::ReportResult() {
    const RunOutcome outcome = ClassifyRun(Counters());
    ShowStatusMessage(outcome.message, outcome.colour);
}
