// The folder page: the name of the group of pictures, the library and the place in it where they
// go. The destination drop-down shows a few entries and an item that offers all of them.
#pragma once

#include "wizard/sheet/ComboBoxMoreModel.h"
#include "wizard/sheet/SheetPage_ui.h"
#include "wizard/transfer/ShareAccess.h"

#include <wx/choice.h>
#include <wx/dialog.h>

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

class wxCheckBox;
class wxComboBox;
class wxListBox;
class wxRadioButton;
class wxStaticText;

// The "more choices" dialog: the whole list of destinations.
class kvSelectFolderDlg final : public wxDialog {
public:
    static constexpr unsigned kDialogId = 141;
    static constexpr int kListId = 1014;

    kvSelectFolderDlg(wxWindow* parent, const std::vector<std::string>& texts);
    int ChosenIndex() const;
    wxListBox* List() const { return m_list; }

private:
    wxListBox* m_list = nullptr;
};

// A drop-down list whose last item opens kvSelectFolderDlg.
class ComboBoxMore final : public wxChoice {
public:
    ComboBoxMore(wxWindow* parent, wxWindowID id);

    void SetMoreText(const std::string& text) { m_model.SetMoreText(text); }
    void SetItems(std::vector<DestinationEntry> entries);
    // After the user changed the selection: the entry it comes to (asking with the dialog when
    // the "more" item was chosen).
    CComboBoxMoreModel::Resolved ResolveSelection();
    void SelectEntry(int index);
    const CComboBoxMoreModel& Model() const { return m_model; }

private:
    void ShowModel();

    CComboBoxMoreModel m_model;
};

class CFolderPage final : public CSheetPage {
public:
    static constexpr int kDeleteId = 1000;
    static constexpr int kGroupNameId = 1001;
    static constexpr int kDestinationId = 1002;
    static constexpr int kAlwaysId = 1003;
    static constexpr int kFamilyId = 1012;
    static constexpr int kPersonalId = 1013;
    static constexpr int kVideosId = 1020;
    static constexpr int kWebFolderId = 1015;

    CFolderPage(CSnapferryPropSheet& sheet, wxWindow* book);
    ~CFolderPage() override;

    void OnSetActive() override;
    int OnWizardNext() override;

    wxComboBox* GroupName() const { return m_groupName; }
    ComboBoxMore* Destinations() const { return m_destinations; }
    wxCheckBox* DeleteBox() const { return m_delete; }
    wxCheckBox* VideosBox() const { return m_videos; }
    CPageText* ListingStatus() const { return m_status; }
    wxCheckBox* SkipBox() const { return m_skip; }
    wxRadioButton* WebFolderChoice() const { return m_webFolder; }
    // True while the library's folders are being listed.
    bool IsListing() const { return m_listing; }

private:
    void FillLists();
    // The last listing's answer, once: on the UI thread after the worker, or at Next.
    void ApplyListing();
    void SwitchLibrary(bool personal);
    void ShowAlreadyCopied();
    void RebuildEntries();
    void WaitForListing();
    // A plain file on the share holds the name of the folder the destination makes: says so and
    // answers true.
    bool RefuseFileInTheWay(const std::string& destination);

    wxRadioButton* m_family = nullptr;
    wxRadioButton* m_personal = nullptr;
    wxRadioButton* m_webFolder = nullptr;
    wxComboBox* m_groupName = nullptr;
    ComboBoxMore* m_destinations = nullptr;
    CPageText* m_status = nullptr;
    wxCheckBox* m_delete = nullptr;
    wxCheckBox* m_videos = nullptr;
    wxCheckBox* m_always = nullptr;
    // The pictures already on the server, when they were only found once the server was chosen.
    CPageText* m_alreadyCopied = nullptr;
    wxCheckBox* m_skip = nullptr;

    std::vector<std::string> m_folders; // the library's sub-folders, as last listed
    struct Listing {
        unsigned generation = 0;
        std::vector<std::string> folders;
        ShareResult result;
    };
    std::thread m_lister;
    std::mutex m_listedMutex;
    std::optional<Listing> m_listed; // written by the lister, taken by the UI thread
    unsigned m_generation = 0;       // a later listing makes the results of an earlier one stale
    bool m_listing = false;
    bool m_initialised = false;
    std::string m_filledFor; // the share the lists were filled for, as the user knows it
};
