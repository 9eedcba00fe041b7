// The device page: the servers found on the local network as the search finds them, and the
// progress window of that search. The welcome page's shortcut searches through the same window.
#pragma once

#include "common/discovery/LocateDeviceStep.h"
#include "wizard/sheet/PageFlow.h"
#include "wizard/sheet/SheetPage_ui.h"

#include <wx/dialog.h>
#include <wx/weakref.h>

#include <memory>
#include <string>
#include <vector>

class wxEventLoopBase;
class wxGauge;
class wxImageList;
class wxListCtrl;
class wxListEvent;
class wxStaticText;

// The search's small progress window: a text, a bar and Cancel. Going away, for whatever reason,
// ends the search it shows.
class CProgressDlg final : public wxDialog {
public:
    static constexpr unsigned kDialogId = 138;
    static constexpr int kTextId = 1008;
    static constexpr int kBarId = 1014;

    CProgressDlg(wxWindow* parent, CAbstractProgressCallback* callback);
    ~CProgressDlg() override;

    void SetCallback(CAbstractProgressCallback* callback) { m_callback = callback; }
    wxStaticText* Text() const { return m_text; }
    wxGauge* Bar() const { return m_bar; }

private:
    CAbstractProgressCallback* m_callback;
    wxWeakRef<wxWindow> m_parent;
    wxStaticText* m_text = nullptr;
    wxGauge* m_bar = nullptr;
};

class CDetectProgressMeter final : public CAbstractProgressMeter {
public:
    CDetectProgressMeter() = default;
    // A window still shown is taken away without telling the step.
    ~CDetectProgressMeter() override;
    CDetectProgressMeter(const CDetectProgressMeter&) = delete;
    CDetectProgressMeter& operator=(const CDetectProgressMeter&) = delete;

    void Show(wxWindow* parent) override;
    void Close() override;
    void SetText(const std::string& text) override;
    void SetRange(int low, int high) override;
    void SetPosition(int position) override;
    void BringToTop() override;

    CProgressDlg* Dialog() const { return m_dialog.get(); }

private:
    wxWeakRef<CProgressDlg> m_dialog;
};

// A search for home servers with the progress window, while the sheet is disabled. Ends early
// once a server of the awaited name is found.
class CWizardServerSearch final : public CAbstractServerSearch, public CAbstractLocateNotifier {
public:
    // awaitedName: stop at the first server of this name; empty: search the whole window.
    CWizardServerSearch(CSnapferryPropSheet* sheet, std::string awaitedName);
    ~CWizardServerSearch() override;

    std::vector<DeviceRecord> Search() override;

    void OnDeviceFound(const DeviceRecord& record) override;
    void OnLocateDone() override;

private:
    CSnapferryPropSheet* m_sheet;
    std::string m_awaitedName;
    CDetectProgressMeter m_meter;
    std::unique_ptr<CLocateDeviceStep> m_step;
    std::vector<DeviceRecord> m_found;
    bool m_done = false;
    wxEventLoopBase* m_loop = nullptr;
};

class CChooseVelmoraPage final : public CSheetPage, public CAbstractLocateNotifier {
public:
    static constexpr int kListId = 1001;

    CChooseVelmoraPage(CSnapferryPropSheet& sheet, wxWindow* book);
    ~CChooseVelmoraPage() override;

    void OnSetActive() override;
    int OnWizardNext() override;
    int OnWizardBack() override;

    void OnDeviceFound(const DeviceRecord& record) override;
    void OnLocateDone() override;

    wxListCtrl* List() const { return m_list; }
    CDetectProgressMeter& Meter() { return m_meter; }
    // The servers a search of the welcome page already found; the page lists them instead of
    // searching again.
    void SetFoundBefore(std::vector<DeviceRecord> servers) { m_foundBefore = std::move(servers); }

private:
    void Initialise();
    void AddServer(const DeviceRecord& record);
    void AddNoServerItem(const wxString& text);
    // The remembered server through the relay, when a name is remembered.
    void AddRelayServer();
    void UpdateButtons();
    const DeviceRecord* SelectedRecord() const;
    void OnSelectionChanged(wxListEvent& event);

    wxListCtrl* m_list = nullptr;
    std::unique_ptr<wxImageList> m_images;
    CDetectProgressMeter m_meter;
    std::unique_ptr<CLocateDeviceStep> m_step;
    // The records the items point to; a list of their own, since the step's table is replaced by
    // a later search.
    std::vector<std::unique_ptr<DeviceRecord>> m_records;
    std::vector<DeviceRecord> m_foundBefore;
    std::string m_userName = kDefaultUserName;
    bool m_initialised = false;
    bool m_searching = false;
};
