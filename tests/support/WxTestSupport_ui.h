// wxWidgets in a test process: the toolkit started once for all cases, and a modal hook that
// records every message box (answering it with OK) and lets scripts drive other dialogs.
#pragma once

#include <wx/dialog.h>
#include <wx/modalhook.h>

#include <functional>
#include <string>
#include <vector>

struct ShownMessageBox {
    std::string message;
    std::string caption;
    long style = 0;
    wxWindow* parent = nullptr;
};

class RecordingModalHook : public wxModalDialogHook {
public:
    RecordingModalHook() { Register(); }
    ~RecordingModalHook() override { Unregister(); }

    // Called for every dialog that is no message box; wxID_NONE lets it run for real.
    std::function<int(wxDialog*)> onDialog;
    std::vector<ShownMessageBox> messageBoxes;
    // What every message box answers (wxID_YES, wxID_NO for a question).
    int messageBoxAnswer = wxID_OK;
    // Runs while a message box is open, before it answers (a test acts behind the box).
    std::function<void(const ShownMessageBox&)> whileMessageBoxOpen;
    std::vector<std::string> otherDialogs; // their titles

protected:
    int Enter(wxDialog* dialog) override;
    void Exit(wxDialog* /*dialog*/) override {}
};

// Runs the steps one after another inside the dialog's modal loop, each after the events the
// one before caused; a dialog still open after the last step is ended with wxID_ABORT.
void ScriptModalDialog(wxDialog* dialog, std::vector<std::function<void(wxDialog*)>> steps);

// A click on the dialog's button with that id, as the user makes it.
void ClickButton(wxDialog* dialog, wxWindowID id);
