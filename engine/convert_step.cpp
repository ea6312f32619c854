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
        // Whatever the policy, no source of the run is written over (Overwrite
        // into the source folder would replace k.PNG by the output of k.JPG).
        const auto save = [this](const std::u16string& path, SaveMode mode) {
            if (m_pRunSources != nullptr && m_pRunSources->Contains(path)) return Win32Error;
            return SaveSourceImage(m_pImage, path, m_itFormat->encoder, mode);
        };
        GpStatus status = Win32Error;
        if (m_clashPolicy == ClashPolicy::Overwrite) {
            // The one name is replaced; a name that is no plain file name in
            // the destination (a device) is not written at all.
            if (IsPlainFileName(m_strBaseName + m_itFormat->extension))
                status =
                    save(m_strSaveDir + m_strBaseName + m_itFormat->extension, SaveMode::Replace);
        } else {
            // A name found free may be taken before the file lands (another
            // copy of the program writing into the same folder): the file
            // then takes the next free name instead of replacing that file.
            const bool prefix = m_clashPolicy == ClashPolicy::Prefix;
            OutputNames names(m_strSaveDir, m_strBaseName, prefix ? m_strPrefix : m_strSuffix,
                              m_itFormat->extension,
                              prefix ? AffixMode::Prefix : AffixMode::Suffix);
            status = SaveUnderFreeName(names, [&save](const std::u16string& path) {
                return save(path, SaveMode::KeepExisting);
            });
        }
        // A refusal or a name that could not be made counts as a failed save.
        if (status == Ok)
            ++m_nSaved;
        else
            m_pImage->lastStatus = status;
    }
    DisposeImage();
    ++m_itJob;
    m_nExpected += m_nFormatCount;
    ++m_nProcessed;
    ArmLoadTimer();
}
