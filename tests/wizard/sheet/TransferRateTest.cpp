// The copying page's rate and time left, fed with made-up runs: bytes at given times.
#include "wizard/sheet/TransferRate.h"

#include "common/resources/ResourceManager.h"
#include "resources/BuiltinBundles.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace std::chrono_literals;
using Clock = CTransferRateEstimator::Clock;

// A run as the records tell it: pictures copied one after another in 64 KiB pieces at a given
// speed, with a pause before each picture (opening the file on the server).
class MadeUpRun {
public:
    MadeUpRun(int pictures, uint64_t totalBytes) { estimator.Start(now, pictures, totalBytes); }

    // Copies one picture of `size` bytes at `bytesPerSecond`; `look` is called every 250 ms of
    // the run's time with the estimate then.
    void Copy(uint64_t size, double bytesPerSecond,
              const std::function<void(Clock::time_point)>& look = nullptr) {
        estimator.OnPicture(++picture, 0);
        Advance(5ms, look);
        uint64_t done = 0;
        estimator.OnFileProgress(now, size, 0);
        while (done < size) {
            const uint64_t piece = std::min<uint64_t>(64 << 10, size - done);
            Advance(std::chrono::duration_cast<Clock::duration>(
                        std::chrono::duration<double>(double(piece) / bytesPerSecond)),
                    look);
            done += piece;
            estimator.OnFileProgress(now, size, done);
        }
    }

    void Advance(Clock::duration by, const std::function<void(Clock::time_point)>& look) {
        const Clock::time_point until = now + by;
        while (look && nextLook <= until) {
            look(nextLook);
            nextLook += 250ms;
        }
        now = until;
    }

    Clock::time_point now{};
    Clock::time_point nextLook = now;
    int picture = 0;
    CTransferRateEstimator estimator;
};

TEST(TransferRate, NothingIsSaidInTheFirstTwoSecondsThenTheRateAndTheTimeLeft) {
    MadeUpRun run(20, 20 * 2000000ull);
    run.Copy(2000000, 10e6); // 0.2 s
    EXPECT_FALSE(run.estimator.Current(run.now)) << "too early";
    for (int picture = 0; picture < 14; ++picture) {
        run.Copy(2000000, 10e6);
    }
    const auto estimate = run.estimator.Current(run.now);
    ASSERT_TRUE(estimate);
    EXPECT_NEAR(estimate->bytesPerSecond, 10e6, 0.05 * 10e6);
    ASSERT_TRUE(estimate->left);
    // 5 pictures of 2 MB at 10 MB/s.
    EXPECT_NEAR(double(estimate->left->count()), 1.0, 1.0);
    EXPECT_EQ(run.estimator.BytesCopied(), 15 * 2000000ull);
}

TEST(TransferRate, ASlowPictureNeitherMakesTheRateJumpNorTheTimeLeft) {
    // Small pictures at 20 MB/s for 15 s, then one picture that crawls for two seconds, then
    // fast again.
    const uint64_t small = 200 << 10;
    MadeUpRun run(1500, 1500 * small);
    std::vector<CTransferRateEstimator::Estimate> seen;
    auto look = [&](Clock::time_point at) {
        if (auto estimate = run.estimator.Current(at)) {
            seen.push_back(*estimate);
        }
    };
    for (int picture = 0; picture < 1000; ++picture) {
        run.Copy(small, 20e6, look);
    }
    ASSERT_FALSE(seen.empty());
    const CTransferRateEstimator::Estimate steady = seen.back();
    seen.clear();
    run.Copy(small, 100e3, look); // about two seconds
    for (int picture = 0; picture < 100; ++picture) {
        run.Copy(small, 20e6, look);
    }
    ASSERT_GT(seen.size(), 10u);
    for (const auto& estimate : seen) {
        EXPECT_GT(estimate.bytesPerSecond, 0.75 * steady.bytesPerSecond);
        EXPECT_LT(estimate.bytesPerSecond, 1.25 * steady.bytesPerSecond);
    }
    // The time left may wait while the slow picture crawls, but it hardly goes up.
    for (const auto& estimate : seen) {
        ASSERT_TRUE(estimate.left);
        EXPECT_LE(double(estimate.left->count()), 1.15 * double(steady.left->count()));
    }
    EXPECT_LT(seen.back().left->count(), steady.left->count());
}

TEST(TransferRate, WithoutSizesAheadThePicturesToComeAreTakenAsLargeAsThoseCopied) {
    MadeUpRun run(10, 0);
    for (int picture = 0; picture < 5; ++picture) {
        run.Copy(4000000, 4e6); // a second each
    }
    auto estimate = run.estimator.Current(run.now);
    ASSERT_TRUE(estimate && estimate->left);
    EXPECT_NEAR(double(estimate->left->count()), 5.0, 1.0);

    // A run without pictures has nothing to count down.
    CTransferRateEstimator empty;
    empty.Start(Clock::time_point{}, 0, 0);
    empty.OnPicture(1, 0);
    empty.OnFileProgress(Clock::time_point{} + 3s, 100, 100);
    estimate = empty.Current(Clock::time_point{} + 3s);
    ASSERT_TRUE(estimate);
    EXPECT_FALSE(estimate->left);
}

TEST(TransferRate, TheLineSaysTheRateAndRoundsTheTimeLeftAsOneSaysIt) {
    EXPECT_EQ(FormatRate(12.44e6), "12.4 MB/s");
    EXPECT_EQ(FormatRate(12.46e6, ","), "12,5 MB/s");
    EXPECT_EQ(FormatRate(1e6), "1.0 MB/s");
    EXPECT_EQ(FormatRate(640.4e3), "640 KB/s");
    EXPECT_EQ(FormatRate(12), "1 KB/s") << "a crawl is not shown as nothing";

    CResourceManagerScope resources(ProgramKind::Wizard, WizardBuiltinBundle(), nullptr);
    using Estimate = CTransferRateEstimator::Estimate;
    struct Case {
        std::optional<std::chrono::seconds> left;
        const char* line;
    };
    for (const Case& c : std::vector<Case>{
             {std::nullopt, "12.4 MB/s"},
             {0s, "12.4 MB/s, about 5 second(s) left"},
             {7s, "12.4 MB/s, about 10 second(s) left"},
             {59s, "12.4 MB/s, about 60 second(s) left"},
             {60s, "12.4 MB/s, about 1 minute(s) left"},
             {150s, "12.4 MB/s, about 3 minute(s) left"},
             {89min, "12.4 MB/s, about 89 minute(s) left"},
             {3h + 10min, "12.4 MB/s, about 3 hour(s) left"},
         }) {
        EXPECT_EQ(RateLine(Estimate{12.4e6, c.left}), c.line);
    }
    EXPECT_EQ(RateLine(std::nullopt), "");
}

} // namespace
