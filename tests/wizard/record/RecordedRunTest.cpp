// Copy runs on an in-memory share with the record of copies: which copies get recorded, that a
// run taken back records nothing, and that pictures already on the server are left out, numbered
// around and deleted at the source only when the server still shows their copies.
#include "TransferTestSupport.h"
#include "wizard/app/linux/SourceIdentity.h"
#include "wizard/sheet/AlreadyCopied.h"
#include "wizard/transfer/FileTransferStep.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

constexpr const char* kFolder = "FamilyLibrary/MyPhotos/Trip";

// Counts the listings the engine and the check ask for.
class CountingShare : public FakeShare {
public:
    explicit CountingShare(std::shared_ptr<State> shared) : FakeShare(std::move(shared)) {}
    ShareResult List(const std::string& folder, std::vector<ShareEntry>& entries) override {
        ++lists;
        return FakeShare::List(folder, entries);
    }
    std::atomic<int> lists{0};
};

class RecordedRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "vm-recorded.XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder = pattern;
        RecordOpening opening{};
        record = CCopyRecord::Open(folder + "/copies.sqlite3", opening);
        ASSERT_TRUE(record);
        callback->SetTarget(poster.get(), nullptr);
        properties.groupName = "Holiday";
        properties.location = "MyPhotos\\Trip";
        properties.serverAddress = "10.0.0.5";
        properties.pictures = &sources.Pictures();
        share->folders.insert("FamilyLibrary/MyPhotos");
        auto transfer = std::make_unique<CSambaFileTransfer>(std::make_unique<FakeShare>(share));
        transfer->SetCallback(callback);
        step.SetTransfer(std::move(transfer));
        step.SetCleanupPatience(std::chrono::milliseconds(300));
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }

    // The pictures' facts as start-up takes them.
    std::vector<SourceFacts> Facts() {
        CVolumeIdentifier volumes;
        return DescribePictures(sources.Pictures(), volumes);
    }

    AlreadyCopied Check() {
        CountingShare session(share);
        AlreadyCopied check = CheckAlreadyCopied(record.get(), &session, "home", "10.0.0.5",
                                                 "FamilyLibrary", Facts());
        listsOfCheck = session.lists.load();
        return check;
    }

    // A run recording its copies, leaving out `skipped` when given; the facts are those taken
    // when the run was prepared, now unless given.
    void RunWithRecord(const AlreadyCopied* skipped = nullptr,
                       std::vector<SourceFacts> facts = {}) {
        NewPoster();
        properties.recordPlan = MakeRecordPlan(record, "home", "10.0.0.5", sources.Pictures(),
                                               facts.empty() ? Facts() : facts, skipped);
        step.Run(properties);
    }

    // Each run's records apart from the runs' before it.
    void NewPoster() {
        poster = std::make_unique<RecordingPoster>();
        callback->SetTarget(poster.get(), nullptr);
    }

    std::string Path(const std::string& name) const { return std::string(kFolder) + "/" + name; }
    bool OnShare(const std::string& name) {
        std::lock_guard lock(share->mutex);
        return share->files.count(Path(name)) != 0;
    }

    std::string folder;
    std::shared_ptr<CCopyRecord> record;
    SourceFolder sources;
    std::shared_ptr<FakeShare::State> share = std::make_shared<FakeShare::State>();
    std::unique_ptr<RecordingPoster> poster = std::make_unique<RecordingPoster>();
    std::shared_ptr<CFileTransferCallback> callback = std::make_shared<CFileTransferCallback>();
    CTransferProperties properties;
    CFileTransferStep step;
    int listsOfCheck = 0;
};

TEST_F(RecordedRunTest, OnlyCopiesThatPassedTheirReadBackAreRecorded) {
    sources.Add("1.jpg");
    sources.Add("2.jpg");
    sources.Add("3.jpg");
    share->listedSize[Path("Holiday 2.jpg")] = 5;
    RunWithRecord();
    EXPECT_FALSE(poster->Done().failure.Failed()) << poster->Done().failure.Describe();
    EXPECT_EQ(step.CopiedList().size(), 3u) << "a copy that reads back wrong is still kept";
    EXPECT_EQ(record->Count(), 2);
    const auto found = record->Find("home", "FamilyLibrary", Facts());
    EXPECT_EQ(found[1].size(), 0u) << "the copy that read back with another size";
    ASSERT_EQ(found[2].size(), 1u);
    EXPECT_EQ(found[2][0].destination, Path("Holiday 3.jpg"));
    EXPECT_EQ(record->LastAddress("home"), "10.0.0.5");

    // A folder that cannot be read back keeps its copies but records none of them.
    sources.Add("4.jpg");
    share->listedSize.clear();
    share->listFailure = ShareStatus::ConnectionLost;
    RunWithRecord();
    EXPECT_FALSE(poster->Done().failure.Failed());
    EXPECT_EQ(record->Count(), 2);
}

TEST_F(RecordedRunTest, ARunThatIsTakenBackRecordsNothing) {
    struct Case {
        const char* what;
        std::function<void()> arrange;
    };
    const Case cases[] = {
        {"a failed third copy",
         [this] {
             share->failCreateNumber = 3;
             share->createFailure = ShareStatus::DiskFull;
         }},
        {"a cancel between pictures",
         [this] {
             poster->onPost = [this](const kvAsyncData& posted) {
                 auto* group = dynamic_cast<const kvGroupStatusAsyncData*>(&posted);
                 if (group != nullptr && group->pictureNumber == 3) {
                     callback->Cancel();
                 }
             };
         }},
        {"a cancel after the last copy, before its originals go",
         [this] {
             properties.deleteAfterCopy = true;
             share->beforeRename = [this](const std::string& target) {
                 if (target == Path("Holiday 3.jpg")) {
                     callback->Cancel();
                 }
                 return ShareResult{};
             };
         }},
    };
    sources.Add("1.jpg");
    sources.Add("2.jpg");
    sources.Add("3.jpg");
    for (const Case& c : cases) {
        share->failCreateNumber = 0;
        share->creates = 0;
        share->beforeRename = nullptr;
        properties.deleteAfterCopy = false;
        callback->ResetCancel();
        NewPoster();
        c.arrange();
        properties.recordPlan =
            MakeRecordPlan(record, "home", "10.0.0.5", sources.Pictures(), Facts(), nullptr);
        step.Run(properties);
        EXPECT_TRUE(step.CopiedList().empty()) << c.what;
        EXPECT_EQ(record->Count(), 0) << c.what;
        EXPECT_FALSE(OnShare("Holiday 1.jpg")) << c.what;
    }
}

TEST_F(RecordedRunTest, PicturesAlreadyThereAreLeftOutAndTheNumberingGoesOn) {
    sources.Add("1.jpg");
    sources.Add("2.jpg");
    sources.Add("3.jpg");
    RunWithRecord();
    ASSERT_EQ(record->Count(), 3);

    // The same card again with two new pictures: one listing confirms the three.
    sources.Add("4.jpg");
    sources.Add("5.jpg");
    AlreadyCopied check = Check();
    EXPECT_EQ(listsOfCheck, 1);
    EXPECT_EQ(check.copies.size(), 3u);
    EXPECT_TRUE(check.Any());
    EXPECT_FALSE(check.All());
    EXPECT_EQ(LocationOfShareFolder(FolderOfMostCopies(check.copies)), "MyPhotos/Trip");
    RunWithRecord(&check);
    EXPECT_EQ(poster->Done().alreadyThere, 3u);
    EXPECT_EQ(poster->All<kvGroupStatusAsyncData>().size(), 2u);
    EXPECT_EQ(step.CopiedList(),
              (std::vector<std::string>{Path("Holiday 4.jpg"), Path("Holiday 5.jpg")}));
    EXPECT_FALSE(OnShare("Holiday 6.jpg"));
    EXPECT_EQ(record->Count(), 5);
    EXPECT_TRUE(Check().All());

    // A copy removed on the server, or changed there, no longer counts.
    {
        std::lock_guard lock(share->mutex);
        share->files.erase(Path("Holiday 2.jpg"));
        share->files[Path("Holiday 4.jpg")] += "edited";
    }
    check = Check();
    EXPECT_EQ(check.copies.size(), 3u);
    RunWithRecord(&check);
    EXPECT_EQ(step.CopiedList().size(), 2u);
    EXPECT_EQ(poster->Done().alreadyThere, 3u);
}

TEST_F(RecordedRunTest, APictureOfSeveralFilesCountsOnceAndIsLeftOutOnlyWhole) {
    sources.Add("1.JPG");
    sources.Add("1.CR2");
    sources.Add("2.jpg");
    RunWithRecord();
    ASSERT_TRUE(OnShare("Holiday 1.JPG") && OnShare("Holiday 1.CR2") && OnShare("Holiday 2.jpg"));

    AlreadyCopied check = Check();
    CountWholePictures(check, sources.Pictures());
    EXPECT_EQ(check.wholePictures, 2u) << "the pair is one picture";
    EXPECT_EQ(check.wholePicturesThere, 2u);

    // The pair's raw copy is gone: the pair is copied again whole, under one new number, rather
    // than its raw file alone under a number of its own.
    {
        std::lock_guard lock(share->mutex);
        share->files.erase(Path("Holiday 1.CR2"));
    }
    check = Check();
    CountWholePictures(check, sources.Pictures());
    EXPECT_EQ(check.wholePicturesThere, 1u);
    RunWithRecord(&check);
    EXPECT_EQ(step.CopiedList(),
              (std::vector<std::string>{Path("Holiday 3.CR2"), Path("Holiday 3.JPG")}));
    EXPECT_EQ(poster->Done().alreadyThere, 1u);
}

TEST_F(RecordedRunTest, DeleteAfterCopyTakesTheOriginalsWhoseCopiesTheServerStillShows) {
    sources.Add("1.jpg");
    sources.Add("2.jpg");
    sources.Add("4.jpg");
    RunWithRecord();
    sources.Add("3.jpg");
    const std::vector<SourceFacts> atStart = Facts();
    const AlreadyCopied check = Check();
    ASSERT_EQ(check.copies.size(), 3u);
    // Between the check and the run, one of the earlier copies goes away on the server, and
    // another original is changed.
    {
        std::lock_guard lock(share->mutex);
        share->files.erase(Path("Holiday 1.jpg"));
    }
    std::ofstream(sources.Root() + "/4.jpg", std::ios::app) << "edited";
    properties.deleteAfterCopy = true;
    RunWithRecord(&check, atStart);
    EXPECT_FALSE(poster->Done().failure.Failed()) << poster->Done().failure.Describe();
    EXPECT_EQ(step.CopiedList(), std::vector<std::string>{Path("Holiday 4.jpg")});
    EXPECT_TRUE(sources.Exists("1.jpg")) << "its copy is gone: the original must stay";
    EXPECT_TRUE(sources.Exists("4.jpg")) << "changed since its copy was made: it must stay";
    EXPECT_FALSE(sources.Exists("2.jpg"));
    EXPECT_FALSE(sources.Exists("3.jpg"));
    EXPECT_EQ(poster->All<kvDeleteStatusAsyncData>().size(), 2u);
}

TEST(AlreadyCopiedTest, NothingIsCheckedWithoutARecordASessionOrAServerName) {
    FakeShare session;
    std::vector<SourceFacts> facts(2);
    EXPECT_FALSE(CheckAlreadyCopied(nullptr, &session, "home", "", "FamilyLibrary", facts).checked);
    EXPECT_FALSE(MakeRecordPlan(nullptr, "home", "", FoundSet{}, {}, nullptr));
    EXPECT_EQ(LocationOfShareFolder("FamilyLibrary"), "");
    EXPECT_EQ(LocationOfShareFolder("MyLibrary/MyPhotos/2026-12-08, Beach"),
              "MyPhotos/2026-12-08, Beach");
}

} // namespace
