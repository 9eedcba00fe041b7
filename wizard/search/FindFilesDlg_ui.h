// The picture search's status dialog: how many pictures were found so far, an animation, and
// Cancel. Modeless; with an owner of its own it has no task-bar entry.
#pragma once

#include "wizard/search/FindFilesStatusWindow.h"

#include <wx/dialog.h>
#include <wx/weakref.h>

class wxAnimationCtrl;
class wxFrame;
class wxStaticText;

class CFindFilesDlg final : public wxDialog {
public:
    static constexpr unsigned kDialogId = 132;
    static constexpr int kTextId = 1008;
    static constexpr int kAnimationId = 1011;
    static constexpr unsigned kCancelTextId = 2; // the Cancel button's text in the resources

    CFindFilesDlg() = default;
    // Tells the callback, if one is set, how the dialog ended: 1 after Cancel (the button, Esc or
    // the window's close box), 0 otherwise.
    ~CFindFilesDlg() override;

    // ownerless: the dialog is owned by an invisible window of its own instead of parent, so
    // that it gets no task-bar entry. Starts the animation.
    bool Create(bool ownerless, wxWindow* parent);

    void SetCallback(CAbstractProgressCallback* callback) { m_callback = callback; }
    void SetStatusText(const wxString& text);
    bool IsCancelled() const { return m_cancelled; }

private:
    void OnCancel(wxCommandEvent& event);

    CAbstractProgressCallback* m_callback = nullptr;
    wxWeakRef<wxFrame> m_owner;
    bool m_cancelled = false;
    wxStaticText* m_text = nullptr;
    wxAnimationCtrl* m_animation = nullptr;
};

// The status window the search drives, shown as a CFindFilesDlg.
class CFindFilesStatusWindow final : public CAbstractStatusWindow {
public:
    CFindFilesStatusWindow() = default;
    // A dialog still shown is taken away without telling the callback.
    ~CFindFilesStatusWindow() override;
    CFindFilesStatusWindow(const CFindFilesStatusWindow&) = delete;
    CFindFilesStatusWindow& operator=(const CFindFilesStatusWindow&) = delete;

    // Makes the dialog and shows it centred on parent (on the screen when there is none).
    bool Show(bool ownerless, wxWindow* parent) override;
    // Destroys the dialog, which then tells the callback OnComplete(0); with no dialog left, the
    // callback is told at once.
    void Close() override;
    void SetText(const std::string& text) override;
    void BringToTop() override;
    void SetCallback(CAbstractProgressCallback* callback) override;

    // The dialog while it is shown, else null.
    CFindFilesDlg* Dialog() const { return m_dialog.get(); }

private:
    wxWeakRef<CFindFilesDlg> m_dialog;
    // A closed dialog lives on until the toolkit deletes it at idle time, and then tells its
    // callback; whoever clears the callback meanwhile must reach it too.
    wxWeakRef<CFindFilesDlg> m_closing;
};

// The dialog's caption as the program's resources give it.
wxString FindFilesDialogTitle();
