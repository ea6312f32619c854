// The program's one window: its controls hold the options, its fields the
// state of a run. Handlers live in the file of their subsystem (ui/ and
// engine/).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/run_sources.h"
#include "engine/run_types.h"
#include "engine/transcode.h"
#include "platform/framework/afxwin.h"
#include "platform/framework/dropfiles.h"

// Releases the loaded image held in a pointer field and clears the field.
class CImageDisposer {
public:
    void Dispose(SourceImage*& rpImage) const;
};

class CConverterDlg : public CDialog {
public:
    explicit CConverterDlg(CWnd* pParent = nullptr);
    ~CConverterDlg() override;

    // --- Run control (engine/run_control.cpp) -------------------------------
    void OnStart();
    void OnStop();
    void OnTimer(UINT_PTR nIDEvent);
    void ResetRun();
    void DisposeImage();
    void EndRunStopped();
    void RestoreIdleControls();
    void EnableOptionControls(bool bEnableOptions, bool bEnableStart);

    // --- Conversion step (engine/convert_step.cpp) ---------------------------
    void LoadStep();
    void SaveStep();

    // --- Settings, destination, scan (engine/) -------------------------------
    bool ValidateSettings();
    bool CreateDestinationFolder(std::u16string& rPath);
    void ScanFolder(std::u16string strFolder, JobList& rJobList, bool bIncludeSubfolders);
    void BuildFormatTable(std::vector<OutputFormat>& rFormats);

    // --- Progress and report (engine/report.cpp) ------------------------------
    std::u16string FormatStatusLine(StatusLineForm form) const;
    void SetProgressPosition();
    void ShowStatusMessage(const std::u16string& strText, COLORREF colour);
    void ReportResult();

    // --- Window (ui/) ---------------------------------------------------------
    void OnPaint();
    HCURSOR OnQueryDragIcon();
    HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor);
    void OnClose();
    void OnOK() override;
    void OnCancel() override;

    void OnSelectAllClicked();
    void OnFormatClicked();
    void OnPolicyClicked();
    void OnPrefixChanged();
    void OnSuffixChanged();
    void UpdateSelectAll();
    void UpdateAffixEdits();

    void OnBrowseSource();
    void OnBrowseDestination();
    void OnOpenSource();
    void OnOpenDestination();
    void OnSourcePathChanged();
    void OnDestinationPathChanged();
    void UpdateSourceOpenButton();
    void UpdateDestinationOpenButton();
    void BrowseForFolder(int nEditId);
    void OpenFolderInExplorer(int nEditId, int nButtonId);
    HWND FindFolderWindow(const std::u16string& strName);
    void OnDropFiles(HDROP hDropInfo);

    // Read-only views for tests and the run's own bookkeeping.
    RunState GetRunState() const { return m_runState; }
    COLORREF GetStatusColour() const { return m_statusColour; }
    RunCounters Counters() const {
        return {m_nTotal, m_nProcessed, m_nRecognised, m_nExpected, m_nSaved};
    }

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

    DECLARE_MESSAGE_MAP()

private:
    // Button 1016 and the OK command take no new run while a step armed by
    // the previous one is still pending; see OnStart.
    bool StepArmed() const { return m_bLoadArmed || m_bSaveArmed; }
    // The operations of OnStart, in its order.
    bool PauseOrContinue();
    bool ReadRunFolders(std::u16string& rSource);
    void ShowCounting();
    void CollectJobsAndFormats(const std::u16string& strSource);
    void ReadClashPolicy();
    void BeginRun();
    void ArmLoadTimer();
    void ArmSaveTimer();
    void EndRunFinished();
    void UpdateOpenButton(int nEditId, int nButtonId);
    void SetExampleLine(int nEditId, int nLineId, const char16_t* head, const char16_t* tail);

    std::u16string m_strStartCaption;
    std::u16string m_strPauseCaption;
    std::u16string m_strContinueCaption;
    HICON m_hIcon = nullptr;
    bool m_bReady = false;
    CImageDisposer* m_pImageDisposer = nullptr;
    CProgressCtrl m_progress;
    COLORREF m_statusColour = 0;
    RunState m_runState = RunState::Idle;
    JobList* m_pJobList = nullptr;
    RunSources* m_pRunSources = nullptr;  // the job list's files, never saved over
    std::vector<OutputFormat>* m_pFormats = nullptr;
    JobList::const_iterator m_itJob{};
    JobList::const_iterator m_itJobEnd{};
    std::vector<OutputFormat>::const_iterator m_itFormat{};
    std::vector<OutputFormat>::const_iterator m_itFormatEnd{};
    std::u16string m_strSaveDir;
    std::u16string m_strPrefix;
    std::u16string m_strSuffix;
    ClashPolicy m_clashPolicy = ClashPolicy::Prefix;
    int m_nTotal = 0;
    int m_nProcessed = 0;
    int m_nRecognised = 0;
    int m_nExpected = 0;
    int m_nSaved = 0;
    SourceImage* m_pImage = nullptr;
    int m_nFormatCount = 0;
    std::u16string m_strBaseName;
    CEdit m_editSource;
    CEdit m_editSaveDir;
    CEdit m_editPrefix;
    CEdit m_editSuffix;
    CButton m_checkSubfolders;

    bool m_bLoadArmed = false;
    bool m_bSaveArmed = false;
};
