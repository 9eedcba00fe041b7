#include "wizard/search/FindFilesDlg_ui.h"

#include "common/resources/ResourceManager.h"
#include "common/ui/WindowStacking_ui.h"
#include "common/ui/WxText_ui.h"

#include <wx/animate.h>
#include <wx/button.h>
#include <wx/frame.h>
#include <wx/mstream.h>
#include <wx/sizer.h>
#include <wx/stattext.h>

#include <cstddef>

extern const unsigned char kSearchAnimationGif[];
extern const std::size_t kSearchAnimationGif_size;

namespace {

// The text of one of the dialog's controls from the loaded resources, or the built-in English
// one when there are none.
wxString DialogText(unsigned controlId, const char* builtin) {
    if (const kvResourceManager* resources = GetResourceManager()) {
        const std::string text = resources->LoadDialogText(CFindFilesDlg::kDialogId, controlId);
        if (!text.empty()) {
            return ToWxText(text);
        }
    }
    return ToWxText(builtin);
}

wxAnimation SearchAnimation() {
    wxAnimation animation;
    wxMemoryInputStream stream(kSearchAnimationGif, kSearchAnimationGif_size);
    animation.Load(stream, wxANIMATION_TYPE_GIF);
    return animation;
}

} // namespace

wxString FindFilesDialogTitle() {
    return DialogText(kDialogCaption, "Dunmere Pictures Wizard");
}

CFindFilesDlg::~CFindFilesDlg() {
    // The owner goes with the dialog, unless it is the one taking the dialog down.
    if (m_owner && !m_owner->IsBeingDeleted()) {
        m_owner->Destroy();
    }
    if (m_callback != nullptr) {
        m_callback->OnComplete(m_cancelled ? 1 : 0);
    }
}

bool CFindFilesDlg::Create(bool ownerless, wxWindow* parent) {
    wxWindow* dialogParent = parent;
    if (ownerless) {
        if (!m_owner) {
            // Never shown: it only keeps the dialog out of the task bar.
            m_owner = new wxFrame(nullptr, wxID_ANY, wxEmptyString, wxDefaultPosition,
                                  wxDefaultSize, wxFRAME_NO_TASKBAR);
        }
        dialogParent = m_owner.get();
    }
    if (!wxDialog::Create(dialogParent, wxID_ANY, FindFilesDialogTitle(), wxDefaultPosition,
                          wxDefaultSize,
                          wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX | wxFRAME_NO_TASKBAR)) {
        return false;
    }

    m_animation = new wxAnimationCtrl(this, kAnimationId, SearchAnimation());
    m_text = new wxStaticText(this, kTextId, DialogText(kTextId, "Found: 0 picture(s)"));
    auto* cancel = new wxButton(this, wxID_CANCEL, DialogText(kCancelTextId, "Cancel"));

    auto* status = new wxBoxSizer(wxHORIZONTAL);
    status->Add(m_animation, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, FromDIP(12));
    // Room for large counts, so that the dialog keeps its size while they grow.
    m_text->SetMinSize(m_text->GetTextExtent("Found: 0000000 picture(s)"));
    status->Add(m_text, 1, wxALIGN_CENTER_VERTICAL);
    auto* layout = new wxBoxSizer(wxVERTICAL);
    layout->Add(status, 1, wxEXPAND | wxALL, FromDIP(12));
    layout->Add(cancel, 0, wxALIGN_RIGHT | wxLEFT | wxRIGHT | wxBOTTOM, FromDIP(12));
    SetSizerAndFit(layout);
    SetEscapeId(wxID_CANCEL);
    Bind(wxEVT_BUTTON, &CFindFilesDlg::OnCancel, this, wxID_CANCEL);

    m_animation->Play();
    return true;
}

void CFindFilesDlg::SetStatusText(const wxString& text) {
    if (m_text != nullptr && m_text->GetLabel() != text) {
        m_text->SetLabel(text);
    }
}

void CFindFilesDlg::OnCancel(wxCommandEvent&) {
    m_cancelled = true;
    Destroy();
}

CFindFilesStatusWindow::~CFindFilesStatusWindow() {
    if (m_closing) {
        m_closing->SetCallback(nullptr);
    }
    if (m_dialog) {
        m_dialog->SetCallback(nullptr);
        m_dialog->Destroy();
    }
}

bool CFindFilesStatusWindow::Show(bool ownerless, wxWindow* parent) {
    if (m_dialog) {
        // A dialog from before must not end the new search.
        m_dialog->SetCallback(nullptr);
        m_dialog->Destroy();
    }
    auto* dialog = new CFindFilesDlg();
    if (!dialog->Create(ownerless, parent)) {
        delete dialog;
        return false;
    }
    dialog->SetCallback(m_callback);
    if (parent != nullptr) {
        const wxRect area = parent->GetScreenRect();
        const wxSize size = dialog->GetSize();
        dialog->Move(area.x + (area.width - size.x) / 2, area.y + (area.height - size.y) / 2);
    } else {
        dialog->CentreOnScreen();
    }
    dialog->Show();
    m_dialog = dialog;
    return true;
}

void CFindFilesStatusWindow::Close() {
    if (m_dialog) {
        CFindFilesDlg* dialog = m_dialog.get();
        m_dialog = nullptr;
        m_closing = dialog;
        dialog->Destroy();
    } else if (m_callback != nullptr) {
        m_callback->OnComplete(0);
    }
}

void CFindFilesStatusWindow::SetText(const std::string& text) {
    if (m_dialog) {
        m_dialog->SetStatusText(ToWxText(text));
    }
}

void CFindFilesStatusWindow::BringToTop() {
    // Never Raise(): keys typed into another window would land on Cancel every 250 ms.
    RaiseWithoutFocus(m_dialog.get());
}

void CFindFilesStatusWindow::SetCallback(CAbstractProgressCallback* callback) {
    CAbstractStatusWindow::SetCallback(callback);
    if (m_dialog) {
        m_dialog->SetCallback(callback);
    }
    if (m_closing) {
        m_closing->SetCallback(callback);
    }
}
