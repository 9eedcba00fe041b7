// The pages that show the copy run: copying, with Cancel asking first, and deleting the sources.
#pragma once

#include "wizard/sheet/SheetPage_ui.h"
#include "wizard/sheet/TransferRate.h"
#include "wizard/transfer/FileTransfer.h"

#include <chrono>
#include <memory>
#include <string>

class wxGauge;
class wxStaticText;
class wxTextCtrl;

class CCopyingFilesPage final : public CSheetPage {
public:
    static constexpr int kLocationId = 1002;
    static constexpr int kPictureId = 1003;
    static constexpr int kPictureBarId = 1004;
    static constexpr int kRunBarId = 1005;
    static constexpr int kCountId = 1006;
    static constexpr int kPictureProgressId = 1007;
    static constexpr int kWaitingId = 1008;
    // How long the copy may hear nothing before the page says it waits for the server.
    static constexpr std::chrono::seconds kWaitingAfter{5};

    CCopyingFilesPage(CSnapferryPropSheet& sheet, wxWindow* book);

    void OnSetActive() override;
    bool OnQueryCancel() override;

    // Record updates, UI thread: kept, and shown by the next FlushProgress.
    void ShowFileProgress(int percent, uint64_t fileTotal = 0, uint64_t fileDone = 0);
    void ShowPicture(int number, int count, const std::string& name, int percent);
    // The run's pace starts: its picture count and, when known, its bytes.
    void StartRate(int pictureCount, uint64_t totalBytes);
    // Shows what the records brought since the last call, and whether the copy has heard nothing
    // for a while.
    void FlushProgress();

    wxGauge* PictureBar() const { return m_pictureBar; }
    wxGauge* RunBar() const { return m_runBar; }
    wxStaticText* CountLabel() const { return m_count; }
    wxTextCtrl* PictureField() const { return m_picture; }
    CPageText* WaitingLabel() const { return m_waiting; }
    CPageText* RateLabel() const { return m_rate; }
    const CTransferRateEstimator& Rate() const { return m_rateEstimator; }

private:
    struct Progress {
        int filePercent = 0;
        int number = 0;
        int count = 0;
        std::string name;
        int runPercent = 0;
        bool fileChanged = false;
        bool pictureChanged = false;
    };

    std::shared_ptr<CFileTransferCallback> m_callback;
    Progress m_shown;
    std::chrono::steady_clock::time_point m_lastProgress;
    bool m_asking = false; // the stop question is open: the copy waits for the user
    CPageText* m_waiting = nullptr;
    wxTextCtrl* m_location = nullptr;
    wxTextCtrl* m_picture = nullptr;
    CPageText* m_pictureProgress = nullptr;
    wxGauge* m_pictureBar = nullptr;
    CPageText* m_count = nullptr;
    wxGauge* m_runBar = nullptr;
    CPageText* m_rate = nullptr;
    CTransferRateEstimator m_rateEstimator;
    CTransferRateEstimator::Clock::time_point m_rateShownAt{};
};

class CDeletingFilesPage final : public CSheetPage {
public:
    CDeletingFilesPage(CSnapferryPropSheet& sheet, wxWindow* book);

    void OnSetActive() override;
    // Ends the delete pass at the next picture; the verified copies stay.
    bool OnQueryCancel() override;

    void ShowPicture(int number, int count, int percent);
    wxGauge* Bar() const { return m_bar; }

private:
    CPageText* m_count = nullptr;
    wxGauge* m_bar = nullptr;
};
