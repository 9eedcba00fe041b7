#include "wizard/sheet/TransferRate.h"

#include "common/branding/Branding.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr unsigned kSecondsLeftText = 194; // "%s, about %d second(s) left"
constexpr unsigned kMinutesLeftText = 195; // "%s, about %d minute(s) left"
constexpr unsigned kHoursLeftText = 196;   // "%s, about %d hour(s) left"
constexpr unsigned kDecimalMarkText = 197; // "." or ","

// Samples are kept this far apart at least: records come hundreds of times a second.
constexpr std::chrono::milliseconds kSampleSpacing{100};

} // namespace

void CTransferRateEstimator::Start(Clock::time_point at, int pictureCount, uint64_t totalBytes) {
    *this = CTransferRateEstimator();
    m_start = at;
    m_started = true;
    m_pictureCount = pictureCount;
    m_totalBytes = totalBytes;
    m_samples.push_back({at, 0});
}

void CTransferRateEstimator::OnPicture(int number, int count) {
    if (count > 0) {
        m_pictureCount = count;
    }
    if (number == m_picture) {
        return;
    }
    if (m_picture > 0) {
        // What the last picture copied counts as its size: a picture passed over adds nothing.
        m_finishedBytes += m_fileDone;
        ++m_finishedPictures;
    }
    m_picture = number;
    m_fileTotal = 0;
    m_fileDone = 0;
}

void CTransferRateEstimator::OnFileProgress(Clock::time_point at, uint64_t fileTotal,
                                            uint64_t fileDone) {
    if (!m_started) {
        return;
    }
    // A copy tried again (a taken name) starts its picture from nothing.
    const uint64_t added = fileDone >= m_fileDone ? fileDone - m_fileDone : fileDone;
    m_copied += added;
    m_fileTotal = fileTotal;
    m_fileDone = fileDone;
    // The rate takes the bytes since a sample from m_copied: samples only mark where windows
    // may start, and a sparse row of exact ones does.
    if (m_samples.empty() || at - m_samples.back().at >= kSampleSpacing) {
        m_samples.push_back({at, m_copied});
    }
    // Keep one sample at or before the window's start, so that the window is always full.
    while (m_samples.size() > 2 && at - m_samples[1].at >= kLeftWindow) {
        m_samples.pop_front();
    }
}

uint64_t CTransferRateEstimator::RemainingBytes() const {
    if (m_totalBytes > 0) {
        return m_totalBytes > m_copied ? m_totalBytes - m_copied : 0;
    }
    // Sizes not known ahead: the pictures still to come are taken to be as large as those
    // copied so far (or as the current one, before any was finished).
    const uint64_t current = m_fileTotal > m_fileDone ? m_fileTotal - m_fileDone : 0;
    const int after = m_pictureCount > m_picture ? m_pictureCount - m_picture : 0;
    const double average =
        m_finishedPictures > 0 ? double(m_finishedBytes) / m_finishedPictures : double(m_fileTotal);
    return current + uint64_t(average * after);
}

double CTransferRateEstimator::RateOver(std::chrono::seconds window, Clock::time_point now) const {
    // From the sample at the window's start (or the run's start) to now, the time since the
    // last progress included.
    const Sample* from = &m_samples.front();
    for (const Sample& sample : m_samples) {
        if (now - sample.at < window) {
            break;
        }
        from = &sample;
    }
    const double seconds = std::chrono::duration<double>(now - from->at).count();
    return seconds > 0 ? double(m_copied - from->copied) / seconds : -1;
}

std::optional<CTransferRateEstimator::Estimate>
CTransferRateEstimator::Current(Clock::time_point now) const {
    if (!m_started || now - m_start < kQuietStart || m_copied == 0 || m_samples.empty()) {
        return std::nullopt;
    }
    Estimate estimate;
    estimate.bytesPerSecond = RateOver(kWindow, now);
    if (estimate.bytesPerSecond < 0) {
        return std::nullopt;
    }
    const double pace = RateOver(kLeftWindow, now);
    if (m_pictureCount > 0 && pace > 0) {
        estimate.left = std::chrono::seconds(std::llround(double(RemainingBytes()) / pace));
    }
    return estimate;
}

std::string FormatRate(double bytesPerSecond, const std::string& decimalMark) {
    char number[64];
    if (bytesPerSecond >= 1e6) {
        const long long tenths = std::llround(bytesPerSecond / 1e5);
        std::snprintf(number, sizeof number, "%lld%s%lld MB/s", tenths / 10, decimalMark.c_str(),
                      tenths % 10);
    } else {
        std::snprintf(number, sizeof number, "%lld KB/s",
                      std::max(1LL, std::llround(bytesPerSecond / 1e3)));
    }
    return number;
}

std::string RateLine(const std::optional<CTransferRateEstimator::Estimate>& estimate) {
    if (!estimate) {
        return {};
    }
    const std::string rate =
        FormatRate(estimate->bytesPerSecond, LoadBrandedText(kDecimalMarkText));
    if (!estimate->left) {
        return rate;
    }
    // Rounded the way one says it, so that the line does not tick every second: 5 s steps
    // under a minute, whole minutes under 90 minutes, then hours.
    const long long seconds = estimate->left->count();
    if (seconds < 60) {
        return FormatBrandedText(kSecondsLeftText, rate, int(std::max(5LL, (seconds + 4) / 5 * 5)));
    }
    if (seconds < 90 * 60) {
        return FormatBrandedText(kMinutesLeftText, rate, int(std::max(1LL, (seconds + 30) / 60)));
    }
    return FormatBrandedText(kHoursLeftText, rate, int((seconds + 1800) / 3600));
}
