// The closing pages: what was copied, with a link that opens it on the server; and the page of a
// run that was cancelled or failed, from which the user may go back and try again.
#pragma once

#include "wizard/sheet/SheetPage_ui.h"

class wxHyperlinkCtrl;
class wxHyperlinkEvent;
class wxStaticText;

class CFinishPage final : public CSheetPage {
public:
    static constexpr int kCountId = 1010;
    static constexpr int kLinkId = 1012;

    CFinishPage(CSnapferryPropSheet& sheet, wxWindow* book);

    void OnSetActive() override;

    CPageText* CountLabel() const { return m_count; }
    wxHyperlinkCtrl* Link() const { return m_link; }
    // What a click on the link does: opens the destination; false (and the message shown) when
    // the desktop could not.
    bool OpenDestination();

private:
    void OnLink(wxHyperlinkEvent& event);

    CPageText* m_count = nullptr;
    wxHyperlinkCtrl* m_link = nullptr;
};

class CCancelPage final : public CSheetPage {
public:
    CCancelPage(CSnapferryPropSheet& sheet, wxWindow* book);

    void OnSetActive() override;
    int OnWizardBack() override;
    // Shows how the last run ended: cancelled (and whether its copies were all removed), or
    // failed and why. Also when the run's end comes after the page was drawn.
    void ShowOutcome();

    CPageText* CancelledLine() const { return m_cancelled; }
    CPageText* FailureLine() const { return m_failure; }

private:
    CPageText* m_cancelled = nullptr;
    CPageText* m_failure = nullptr;
};
