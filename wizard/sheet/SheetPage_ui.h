// A page of the wizard's sheet. The sheet asks the current page what to do when the user presses
// Back, Next or Cancel; a page answers with the template id of the page to show next.
#pragma once

#include <wx/panel.h>
#include <wx/stattext.h>

class wxSizer;

class CSnapferryPropSheet;

// How wide an inner page's texts run before they wrap.
inline constexpr int kPageTextWidth = 470;
// How wide the texts of a full-size page run, beside its side picture.
inline constexpr int kFullPageTextWidth = 293;

// A page's text that wraps to a width whenever it is set, so that a long text (a translation, a
// count, a reason) grows the page downwards instead of being cut at its edge.
class CPageText final : public wxStaticText {
public:
    CPageText(wxWindow* parent, wxWindowID id, const wxString& text, int width);
    void SetText(const wxString& text);
    // The text as set, without the breaks wrapping put in.
    const wxString& Text() const { return m_text; }

private:
    wxString m_text;
    int m_width;
};

class CSheetPage : public wxPanel {
public:
    // Next or Back returns this to move to the neighbouring page in the sheet's order.
    static constexpr int kNeighbour = 0;

    struct Style {
        int templateId = 0;
        bool fullSize = false;    // welcome and closing pages: no header band, a side picture
        unsigned titleId = 0;     // header title (inner pages)
        unsigned subtitleId = 0;  // header subtitle (inner pages)
        const char* picture = ""; // the side picture of a full-size page
    };

    CSheetPage(CSnapferryPropSheet& sheet, const Style& style);

    const Style& PageStyle() const { return m_style; }
    int TemplateId() const { return m_style.templateId; }
    bool IsFullSize() const { return m_style.fullSize; }

    // The page becomes the current one: it sets the sheet's buttons and refreshes its controls.
    virtual void OnSetActive() {}
    // The template id of the page to show, kStayOnPage to stay, or kNeighbour.
    virtual int OnWizardNext() { return kNeighbour; }
    virtual int OnWizardBack() { return kNeighbour; }
    // Cancel, Esc or the close box while the page is current: true lets the wizard close.
    virtual bool OnQueryCancel() { return true; }

    CSnapferryPropSheet& Sheet() const { return m_sheet; }

protected:
    // A full-size page: its side picture at the left and, returned, the column its controls go
    // in, headed by the page's title in large bold type.
    wxSizer* BeginFullSizeLayout(const wxString& title);

private:
    CSnapferryPropSheet& m_sheet;
    Style m_style;
};
