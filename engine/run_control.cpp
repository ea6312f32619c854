// Start, Pause, Continue and Stop, the two step timers and the option controls a run locks.
#include "engine/report.h"
#include "engine/run_types.h"
#include "engine/transcode.h"
#include "platform/win32/fileapi.h"
#include "res/resource.h"
#include "ui/main_dialog.h"
#include "util/text.h"

namespace {
// The option controls, in the order they are switched: these, the format
// checkboxes of the format table, then the policies and the browse buttons.
constexpr int kOptionsBeforeFormats[] = {IDC_SOURCE_PATH, IDC_SAVE_PATH,          IDC_PREFIX,
                                         IDC_SUFFIX,      IDC_INCLUDE_SUBFOLDERS, IDC_SELECT_ALL};
constexpr int kOptionsAfterFormats[] = {IDC_POLICY_PREFIX, IDC_POLICY_SUFFIX, IDC_POLICY_OVERWRITE,
                                        IDC_BROWSE_SOURCE, IDC_BROWSE_SAVE};
}  // namespace

// Start, Pause and Continue share one button. Its steps, in this order:
// pause or continue a run; refuse a new run while a stopped run's last step
// is still armed; validate and read the folders; show the counting line; scan
// and list the formats; read the clash policy; begin the first step.
void CConverterDlg::OnStart() {
    if (!m_bReady) return;
    GetDlgItem(IDC_START)->SetFocus();
    if (PauseOrContinue()) return;
    // A stopped run still has its last step armed; a new run would share the
    // lists that step ends. The press is not taken until that step has run.
    if (StepArmed()) return;

    std::u16string source;
    if (!ReadRunFolders(source)) return;
    ShowCounting();
    CollectJobsAndFormats(source);
    ReadClashPolicy();
    BeginRun();
}

bool CConverterDlg::PauseOrContinue() {
    switch (m_runState) {
        case RunState::Running:
            SetDlgItemTextW(IDC_START, m_strContinueCaption.c_str());
            m_runState = RunState::Paused;
            return true;
        case RunState::Paused:
            SetDlgItemTextW(IDC_START, m_strPauseCaption.c_str());
            m_runState = RunState::Running;
            // A step armed before Pause has not run yet: it drives the run on
            // by itself. Calling LoadStep now would load its file a second time.
            if (!StepArmed()) LoadStep();
            return true;
        case RunState::Idle:
            break;
    }
    return false;
}

bool CConverterDlg::ReadRunFolders(std::u16string& rSource) {
    if (!ValidateSettings()) return false;
    GetDlgItemTextW(IDC_SOURCE_PATH, rSource);
    rSource = util::TrimText(rSource);
    GetDlgItemTextW(IDC_SAVE_PATH, m_strSaveDir);
    if (!CreateDestinationFolder(m_strSaveDir)) {
        ShowStatusMessage(kMessageCreateFolderFailed, kColourRed);
        return false;
    }
    return true;
}

void CConverterDlg::ShowCounting() {
    ResetRun();
    EnableOptionControls(false, true);
    SetDlgItemTextW(IDC_STATUS_MESSAGE, u"");
    SetDlgItemTextW(IDC_STATUS_COUNTS, kCountingMessage);
}

void CConverterDlg::CollectJobsAndFormats(const std::u16string& strSource) {
    m_pJobList = new JobList();
    m_pJobList->reserve(kJobListReserve);
    ScanFolder(strSource, *m_pJobList, IsDlgButtonChecked(IDC_INCLUDE_SUBFOLDERS) == BST_CHECKED);
    m_pRunSources = new RunSources(*m_pJobList);
    m_pFormats = new std::vector<OutputFormat>();
    m_pFormats->reserve(kFormatListReserve);
    BuildFormatTable(*m_pFormats);
}

void CConverterDlg::ReadClashPolicy() {
    if (IsDlgButtonChecked(IDC_POLICY_PREFIX) == BST_CHECKED) {
        m_clashPolicy = ClashPolicy::Prefix;
        GetDlgItemTextW(IDC_PREFIX, m_strPrefix);
        m_strPrefix = util::TrimText(m_strPrefix);
    } else if (IsDlgButtonChecked(IDC_POLICY_SUFFIX) == BST_CHECKED) {
        m_clashPolicy = ClashPolicy::Suffix;
        GetDlgItemTextW(IDC_SUFFIX, m_strSuffix);
        m_strSuffix = util::TrimText(m_strSuffix);
    } else if (IsDlgButtonChecked(IDC_POLICY_OVERWRITE) == BST_CHECKED) {
        m_clashPolicy = ClashPolicy::Overwrite;
    }
}

// Shows the counts, the progress bar and Pause, then loads the first file.
void CConverterDlg::BeginRun() {
    m_nTotal = static_cast<int>(m_pJobList->size());

    SetDlgItemTextW(IDC_STATUS_COUNTS, u"");
    SetDlgItemTextW(IDC_STATUS_MESSAGE, u"");
    GetDlgItem(IDC_STATUS_COUNTS)->ShowWindow(SW_SHOW);
    GetDlgItem(IDC_STATUS_MESSAGE)->ShowWindow(SW_SHOW);
    m_progress.SetRange(0, 100);
    m_progress.ShowWindow(SW_SHOW);

    m_itJob = m_pJobList->cbegin();
    m_itJobEnd = m_itJob + m_nTotal;
    m_nProcessed = m_nRecognised = m_nExpected = m_nSaved = 0;
    SetDlgItemTextW(IDC_START, m_strPauseCaption.c_str());
    m_runState = RunState::Running;
    GetDlgItem(IDC_STOP)->EnableWindow(TRUE);
    UpdateDestinationOpenButton();
    LoadStep();
}

void CConverterDlg::OnStop() {
    GetDlgItem(IDC_STOP)->EnableWindow(FALSE);
    if (m_runState == RunState::Running) {
        m_runState = RunState::Idle;
    } else if (m_runState == RunState::Paused) {
        m_runState = RunState::Idle;
        // A save step armed before Pause holds a loaded file: it still writes
        // every output, and the load step after it ends the run as stopped.
        if (m_bSaveArmed) return;
        // A pending load step would end the run a second time.
        if (m_bLoadArmed) {
            KillTimer(kLoadTimer);
            m_bLoadArmed = false;
        }
        EndRunStopped();
    }
}

void CConverterDlg::OnTimer(UINT_PTR nIDEvent) {
    if (nIDEvent == kLoadTimer) {
        KillTimer(kLoadTimer);
        m_bLoadArmed = false;
        LoadStep();
    } else if (nIDEvent == kSaveTimer) {
        KillTimer(kSaveTimer);
        m_bSaveArmed = false;
        SaveStep();
    }
    CDialog::OnTimer(nIDEvent);
}

void CConverterDlg::ArmLoadTimer() {
    m_bLoadArmed = true;
    SetTimer(kLoadTimer, 0, nullptr);
}

void CConverterDlg::ArmSaveTimer() {
    m_bSaveArmed = true;
    SetTimer(kSaveTimer, 0, nullptr);
}

void CConverterDlg::EndRunStopped() {
    ShowStatusMessage(kMessageStopped, kColourRed);
    ResetRun();
    RestoreIdleControls();
    GetDlgItem(IDC_SOURCE_PATH)->SetFocus();
}

void CConverterDlg::EndRunFinished() {
    m_progress.ShowWindow(SW_HIDE);
    m_runState = RunState::Idle;
    ResetRun();
    RestoreIdleControls();
}

void CConverterDlg::ResetRun() {
    delete m_pRunSources;
    m_pRunSources = nullptr;
    if (m_pJobList != nullptr) {
        m_pJobList->clear();
        delete m_pJobList;
        m_pJobList = nullptr;
    }
    if (m_pFormats != nullptr) {
        m_pFormats->clear();
        delete m_pFormats;
        m_pFormats = nullptr;
    }
    DisposeImage();
    m_itFormat = {};
    m_itFormatEnd = {};
    m_nFormatCount = 0;
}

void CConverterDlg::DisposeImage() {
    if (m_pImageDisposer != nullptr) {
        m_pImageDisposer->Dispose(m_pImage);
    } else if (m_pImage != nullptr) {
        // Only before OnInitDialog or after OnClose; nothing may leak then.
        CImageDisposer().Dispose(m_pImage);
    }
}

void CConverterDlg::RestoreIdleControls() {
    SetDlgItemTextW(IDC_START, m_strStartCaption.c_str());
    GetDlgItem(IDC_START)->EnableWindow(TRUE);
    GetDlgItem(IDC_STOP)->EnableWindow(FALSE);
    m_progress.ShowWindow(SW_HIDE);
    EnableOptionControls(true, true);
}

void CConverterDlg::EnableOptionControls(bool bEnableOptions, bool bEnableStart) {
    const BOOL enable = bEnableOptions ? TRUE : FALSE;
    for (int id : kOptionsBeforeFormats) GetDlgItem(id)->EnableWindow(enable);
    for (const FormatRow& row : kFormatTable) GetDlgItem(row.checkboxId)->EnableWindow(enable);
    for (int id : kOptionsAfterFormats) GetDlgItem(id)->EnableWindow(enable);
    // Dropped folders are written into the path edits: the window takes them
    // exactly while those edits take typing.
    DragAcceptFiles(GetSafeHwnd(), enable);
    GetDlgItem(IDC_START)->EnableWindow(bEnableStart ? TRUE : FALSE);
    if (bEnableOptions) UpdateAffixEdits();
}
