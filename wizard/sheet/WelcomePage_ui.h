// The first page: what is attached, and the shortcut that copies with the last saved settings.
#pragma once

#include "common/discovery/DeviceRecord.h"
#include "wizard/sheet/SheetPage_ui.h"

#include <optional>
#include <string>

class wxCheckBox;
class wxStaticText;

class CWelcomePage final : public CSheetPage {
public:
    static constexpr int kSourceLabelId = 1009;
    static constexpr int kUseSavedId = 1013;
    static constexpr int kRelayOfferId = 1020;

    CWelcomePage(CSnapferryPropSheet& sheet, wxWindow* book);

    void OnSetActive() override;
    int OnWizardNext() override;

    wxCheckBox* UseSavedBox() const { return m_useSaved; }
    CPageText* SourceLabel() const { return m_source; }
    CPageText* BottomText() const { return m_bottom; }
    CPageText* UnreachableLine() const { return m_unreachable; }
    CPageText* AlreadyCopiedText() const { return m_alreadyCopied; }
    wxCheckBox* SkipBox() const { return m_skip; }
    // The one line that offers the way through the relay when the saved server is not found.
    CPageText* RelayLine() const { return m_relayLine; }

private:
    void FillTexts();
    int RunQuickPath();
    int TakeRelayOffer();
    // The copy job from the saved settings, to `destination`.
    void UseSavedChoices(const std::string& destination);

    CPageText* m_source = nullptr;
    CPageText* m_unreachable = nullptr;
    CPageText* m_alreadyCopied = nullptr;
    wxCheckBox* m_skip = nullptr;
    wxCheckBox* m_useSaved = nullptr;
    CPageText* m_bottom = nullptr;
    CPageText* m_relayLine = nullptr;
    std::optional<DeviceRecord> m_relayOffer;
    std::string m_relayDestination;
};
