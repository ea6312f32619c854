// A dialog on template 102 whose message table records what reaches it.
#pragma once

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/framework/afxwin.h"
#include "res/resource.h"

struct Event {
    std::string what;
    UINT_PTR id = 0;
    bool operator==(const Event&) const = default;
};

class TestDialog : public CDialog {
public:
    TestDialog() : CDialog(IDD_MAIN_DIALOG) {}
    ~TestDialog() override = default;

    // Everything recorded so far, and forgets it.
    std::vector<Event> Take();
    int Count(const std::string& what, UINT_PTR id = 0) const;

    std::vector<Event> events;
    std::set<UINT_PTR> oneShotTimers;     // killed by their own handler
    std::map<int, COLORREF> textColours;  // set by OnCtlColor, with TRANSPARENT
    std::vector<std::pair<int, UINT>> ctlColorCalls;
    bool destroyOnClose = false;
    HICON dragIcon = nullptr;
    std::function<void(TestDialog&)> onInit;

    CEdit m_editSource;
    CProgressCtrl m_progress;
    CButton m_checkSubfolders;

    void OnOK() override { events.push_back({"ok"}); }
    void OnCancel() override { events.push_back({"cancel"}); }
    void OnClose();
    void OnTimer(UINT_PTR nIDEvent);
    HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor);
    HCURSOR OnQueryDragIcon() { return dragIcon; }
    template <int ID>
    void OnClicked() {
        events.push_back({"click", ID});
    }
    template <int ID>
    void OnChanged() {
        events.push_back({"change", ID});
    }

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

    DECLARE_MESSAGE_MAP()
};
