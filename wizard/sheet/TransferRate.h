// How fast a copy run goes and how long it still takes, from the bytes it has copied and when.
// Fed from the run's progress records on the UI thread; no clock of its own, so that tests give
// it the times.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>

class CTransferRateEstimator {
public:
    using Clock = std::chrono::steady_clock;

    // The rate is the bytes copied over the last few seconds divided by those seconds, the
    // time without progress (a slow picture, the server thinking) included: one picture neither
    // makes it jump nor stops it.
    static constexpr std::chrono::seconds kWindow{10};
    // The time left rests on the pace of a longer stretch: it is what the user plans by, and a
    // slow picture must not push it up and down.
    static constexpr std::chrono::seconds kLeftWindow{60};
    // Nothing is said before the run has copied this long: the first seconds (opening the
    // share, the first folder) tell little about its pace.
    static constexpr std::chrono::seconds kQuietStart{2};

    // A run starts: its picture count and, when known, the bytes of all its pictures (0: not
    // known, as for a camera's pictures before they are fetched).
    void Start(Clock::time_point at, int pictureCount, uint64_t totalBytes);
    // Picture `number` (from 1) of `count` is about to be copied (a camera run learns its count
    // as it goes).
    void OnPicture(int number, int count);
    // The current picture's progress: its size and the bytes of it copied so far.
    void OnFileProgress(Clock::time_point at, uint64_t fileTotal, uint64_t fileDone);

    struct Estimate {
        double bytesPerSecond = 0;
        std::optional<std::chrono::seconds> left; // none while it cannot be told
    };
    // Nothing during the quiet start or before any byte was copied.
    std::optional<Estimate> Current(Clock::time_point now) const;

    uint64_t BytesCopied() const { return m_copied; }

private:
    struct Sample {
        Clock::time_point at;
        uint64_t copied;
    };
    uint64_t RemainingBytes() const;
    // Bytes a second from the sample at the start of the last `window` (or the run's start) to
    // `now`; negative when no time has passed.
    double RateOver(std::chrono::seconds window, Clock::time_point now) const;

    Clock::time_point m_start{};
    bool m_started = false;
    int m_pictureCount = 0;
    uint64_t m_totalBytes = 0;
    int m_picture = 0;
    uint64_t m_fileTotal = 0;
    uint64_t m_fileDone = 0;
    uint64_t m_copied = 0;        // all bytes copied in the run
    uint64_t m_finishedBytes = 0; // bytes of the pictures before the current one
    int m_finishedPictures = 0;
    std::deque<Sample> m_samples; // oldest first, spanning a little more than kLeftWindow
};

// "12.4 MB/s" or "640 KB/s" (decimal units), with `decimalMark` between whole and tenths.
std::string FormatRate(double bytesPerSecond, const std::string& decimalMark = ".");
// The copying page's line: the rate and, when known, about how long is left, in the user's
// language; empty when nothing can be said yet.
std::string RateLine(const std::optional<CTransferRateEstimator::Estimate>& estimate);
