// The transfer reading from picture sources: chunks of any size reach the share in whole pieces
// with progress after each, and a source that ends short, runs long, breaks off or is cancelled
// leaves nothing on the share.
#include "TransferTestSupport.h"
#include "wizard/transfer/FileTransfer.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr const char* kCopy = "FamilyLibrary/Copy.jpg";
constexpr uint64_t kMiB = uint64_t(1) << 20;

std::string Pattern(size_t size) {
    std::string data(size, '\0');
    for (size_t i = 0; i < size; ++i) {
        data[i] = static_cast<char>(i * 13 + i / 4093);
    }
    return data;
}

// Hands `data` over in chunks of `chunk` bytes and says it is `size` long.
class ScriptedSource : public CAbstractPictureSource {
public:
    ScriptedSource(std::string data, size_t chunk) : m_data(std::move(data)), m_chunk(chunk) {
        size = m_data.size();
    }

    std::string Describe() const override { return "scripted"; }
    std::string Extension() const override { return ".jpg"; }
    ShareResult Open(PictureSourceFacts& facts) override {
        if (!openResult.ok()) {
            return openResult;
        }
        facts.sizeKnown = true;
        facts.size = size;
        return {};
    }
    PictureReadResult ReadTo(CAbstractChunkWriter& writer, PictureReadBuffers&) override {
        PictureReadResult read;
        for (size_t offset = 0; offset < m_data.size(); offset += m_chunk) {
            if (offset >= breakAt) {
                read.result = {ShareStatus::SourceUnreadable, EIO};
                return read;
            }
            if (beforeChunk) {
                beforeChunk(offset);
            }
            const size_t length = std::min(m_chunk, m_data.size() - offset);
            ++chunksDelivered;
            if (!writer.Write(m_data.data() + offset, length)) {
                read.result = {ShareStatus::Cancelled, ECANCELED};
                return read;
            }
            read.bytes += length;
        }
        return read;
    }

    uint64_t size = 0;
    size_t breakAt = SIZE_MAX;
    ShareResult openResult;
    std::function<void(size_t offset)> beforeChunk;
    int chunksDelivered = 0;

private:
    std::string m_data;
    size_t m_chunk;
};

class PictureSourceTest : public ::testing::Test {
protected:
    void SetUp() override {
        callback->SetTarget(&poster, nullptr);
        share->folders.insert("FamilyLibrary");
        share->beforeWrite = [this](const std::string&, uint64_t written) {
            offsets.push_back(written);
            return ShareResult{};
        };
    }

    std::string Contents() {
        std::lock_guard lock(share->mutex);
        const auto found = share->files.find(kCopy);
        return found == share->files.end() ? "<missing>" : found->second;
    }
    std::vector<uint64_t> Progress() const {
        std::vector<uint64_t> done;
        for (const kvFileStatusAsyncData* record : poster.All<kvFileStatusAsyncData>()) {
            done.push_back(record->bytesDone);
        }
        return done;
    }

    std::shared_ptr<FakeShare::State> share = std::make_shared<FakeShare::State>();
    CSambaFileTransfer transfer{std::make_unique<FakeShare>(share)};
    RecordingPoster poster;
    std::shared_ptr<CFileTransferCallback> callback = std::make_shared<CFileTransferCallback>();
    std::vector<uint64_t> offsets; // where each write to the share began
};

TEST_F(PictureSourceTest, SmallChunksReachTheShareInWholePiecesWithProgressAfterEach) {
    const std::string data = Pattern(3 * kMiB + 5);
    ScriptedSource source(data, 1000);
    const TransferResult result = transfer.Transfer(source, kCopy, callback.get());
    ASSERT_TRUE(result.ok()) << result.result.Message();
    EXPECT_EQ(result.bytes, data.size());
    EXPECT_EQ(Contents(), data);
    EXPECT_EQ(offsets, (std::vector<uint64_t>{0, kMiB, 2 * kMiB, 3 * kMiB}));
    EXPECT_EQ(Progress(), (std::vector<uint64_t>{0, kMiB, 2 * kMiB, 3 * kMiB, 3 * kMiB + 5}));
    EXPECT_EQ(poster.All<kvFileStatusAsyncData>().back()->totalBytes, data.size());

    // Chunks larger than a piece go out piece by piece, and the odd rest with them.
    offsets.clear();
    share->files.clear();
    ScriptedSource large(data, 1536 * 1024);
    ASSERT_TRUE(transfer.Transfer(large, kCopy, callback.get()).ok());
    EXPECT_EQ(Contents(), data);
    for (size_t i = 1; i < offsets.size(); ++i) {
        EXPECT_LE(offsets[i] - offsets[i - 1], kMiB) << "a piece of more than 1 MiB";
    }
}

TEST_F(PictureSourceTest, ALocalFileIsReadAheadAndCopiedWhole) {
    SourceFolder folder;
    const std::string path = folder.Add("big.JPG", 9 * kMiB + 17);
    const TransferResult result = transfer.Transfer(path, kCopy, callback.get());
    ASSERT_TRUE(result.ok());
    EXPECT_EQ(Contents(), folder.Contents("big.JPG"));
    EXPECT_EQ(offsets.size(), 10u);
    EXPECT_EQ(offsets.back(), 9 * kMiB);

    CLocalPictureSource named(path);
    EXPECT_EQ(named.Extension(), ".JPG");
    CLocalPictureSource missing(folder.Root() + ".d/none");
    PictureSourceFacts facts;
    EXPECT_EQ(missing.Open(facts).status, ShareStatus::SourceUnreadable);
    EXPECT_EQ(missing.Extension(), "") << "the dot of a folder is not the file's";
}

TEST_F(PictureSourceTest, ASourceThatEndsShortRunsLongOrBreaksOffLeavesNoCopy) {
    const std::string data = Pattern(3 * kMiB);
    struct Case {
        const char* what;
        uint64_t size;
        size_t breakAt;
        ShareStatus expected;
    };
    const Case cases[] = {
        {"ends short", 3 * kMiB + 1, SIZE_MAX, ShareStatus::SizeMismatch},
        {"runs long", 3 * kMiB - 1, SIZE_MAX, ShareStatus::SizeMismatch},
        {"breaks off", 3 * kMiB, 2 * kMiB + 4096, ShareStatus::SourceUnreadable},
    };
    for (const Case& test : cases) {
        ScriptedSource source(data, 4096);
        source.size = test.size;
        source.breakAt = test.breakAt;
        const TransferResult result = transfer.Transfer(source, kCopy, callback.get());
        EXPECT_EQ(result.result.status, test.expected) << test.what;
        EXPECT_FALSE(result.partialLeft) << test.what;
        EXPECT_EQ(Contents(), "<missing>") << test.what;
    }

    // A source that cannot be opened never creates the copy.
    const int creates = share->creates;
    ScriptedSource unreadable(data, 4096);
    unreadable.openResult = {ShareStatus::SourceUnreadable, EACCES};
    EXPECT_EQ(transfer.Transfer(unreadable, kCopy, callback.get()).result.error, EACCES);
    EXPECT_EQ(share->creates, creates);
}

TEST_F(PictureSourceTest, ACancelReachesASlowSourceBeforeAPieceIsFull) {
    ScriptedSource source(Pattern(512 * 1024), 100);
    int deliveredAtCancel = 0;
    source.beforeChunk = [&](size_t offset) {
        if (offset == 100 * 100) {
            deliveredAtCancel = source.chunksDelivered;
            callback->Cancel();
        }
    };
    const TransferResult result = transfer.Transfer(source, kCopy, callback.get());
    EXPECT_EQ(result.result.status, ShareStatus::Cancelled);
    EXPECT_EQ(source.chunksDelivered, deliveredAtCancel + 1);
    EXPECT_TRUE(offsets.empty()) << "nothing was written before the cancel";
    EXPECT_EQ(Contents(), "<missing>");
}

} // namespace
