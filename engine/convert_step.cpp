// The two timer steps of a run: load the next source file, then save it in every format.
#include "engine/naming.h"
#include "engine/report.h"
#include "res/resource.h"
#include "ui/main_dialog.h"

void CConverterDlg::LoadStep() {
    if (m_runState == RunState::Paused) return;
    if (m_runState == RunState::Idle || m_itJob == m_itJobEnd) {
        SetDlgItemTextW(IDC_STATUS_COUNTS, FormatStatusLine(StatusLineForm::Final).c_str());
        SetProgressPosition();
        if (m_runState == RunState::Idle) {
            EndRunStopped();
        } else {
            ReportResult();
            EndRunFinished();
        }
        return;
    }
    SetDlgItemTextW(IDC_STATUS_COUNTS, FormatStatusLine(StatusLineForm::InProgress).c_str());
    SetProgressPosition();
    DisposeImage();
    m_pImage = LoadSourceImage(*m_itJob);
    bool recognised = false;
    if (m_pImage != nullptr && SourceImageWidth(m_pImage) > 0)
        recognised = SourceImageHeight(m_pImage) > 0;
    if (recognised) {
        ++m_nRecognised;
        m_strBaseName = BaseNameOf(*m_itJob);
        m_nFormatCount = static_cast<int>(m_pFormats->size());
        m_itFormat = m_pFormats->cbegin();
        m_itFormatEnd = m_pFormats->cend();
        ArmSaveTimer();
    } else {
        ++m_itJob;
        ++m_nProcessed;
        ArmLoadTimer();
    }
}

void CConverterDlg::SaveStep() {
    for (; m_itFormat != m_itFormatEnd; ++m_itFormat) {
        std::u16string path;
        switch (m_clashPolicy) {
            case ClashPolicy::Prefix:
                path = MakeOutputPath(m_strSaveDir, m_strBaseName, m_strPrefix, u"",
                                      m_itFormat->extension, AffixMode::Prefix);
                break;
            case ClashPolicy::Suffix:
                path = MakeOutputPath(m_strSaveDir, m_strBaseName, u"", m_strSuffix,
                                      m_itFormat->extension, AffixMode::Suffix);
                break;
            case ClashPolicy::Overwrite:
                path = m_strSaveDir + m_strBaseName + m_itFormat->extension;
                break;
        }
        // Whatever the policy, no source of the run is written over (Overwrite
        // into the source folder would replace k.PNG by the output of k.JPG),
        // nor a taken name for which the affix found no free one; the refusal
        // counts as a failed save.
        if (path.empty() || (m_pRunSources != nullptr && m_pRunSources->Contains(path))) {
            m_pImage->lastStatus = Win32Error;
            continue;
        }
        if (SaveSourceImage(m_pImage, path, m_itFormat->encoder) == Ok) ++m_nSaved;
    }
    DisposeImage();
    ++m_itJob;
    m_nExpected += m_nFormatCount;
    ++m_nProcessed;
    ArmLoadTimer();
}
