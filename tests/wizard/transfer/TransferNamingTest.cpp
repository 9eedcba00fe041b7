// Naming and numbering of copies, share paths and addresses, the errno table and the progress
// arithmetic of the records.
#include "wizard/transfer/TransferNaming.h"
#include "TransferTestSupport.h"
#include "wizard/transfer/AsyncData.h"
#include "wizard/transfer/SmbSession.h"

#include "PortableTestSupport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>

namespace {

TEST(TransferNaming, NamesCarryTheGroupTheNumberAndTheSourcesExtensionAsWritten) {
    EXPECT_EQ(DestinationName("Holiday", 1, FileExtension("IMG_0001.JPG")), "Holiday 1.JPG");
    EXPECT_EQ(DestinationName("Holiday", 12, FileExtension("scan")), "Holiday 12");
    EXPECT_EQ(DestinationName("Holiday", 2, FileExtension("a.tar.Png")), "Holiday 2.Png");
    const std::string longGroup(300, 'g');
    EXPECT_EQ(DestinationName(longGroup, 7, ".jpg"), longGroup + " 7.jpg") << "never cut";
}

TEST(TransferNaming, ReadsTheNumberOfTheGroupsPictureNamesOfEveryKind) {
    EXPECT_EQ(NumberOfGroupName("Holiday 3.jpg", "Holiday"), 3);
    EXPECT_EQ(NumberOfGroupName("holiday 7.JPG", "Holiday"), 7);
    EXPECT_EQ(NumberOfGroupName("Holiday 3 (copy) 9.jpg", "Holiday"), 9);
    EXPECT_EQ(NumberOfGroupName("New Holiday 3.jpg", "New Holiday"), 3);
    EXPECT_EQ(NumberOfGroupName("Holiday 4x.jpg", "Holiday"), 4); // leading digits, as %u reads
    EXPECT_EQ(NumberOfGroupName("Holiday x.jpg", "Holiday"), std::nullopt);
    EXPECT_EQ(NumberOfGroupName("Holiday .jpg", "Holiday"), std::nullopt);
    EXPECT_EQ(NumberOfGroupName("Holiday 3.png", "Holiday"), 3);
    EXPECT_EQ(NumberOfGroupName("Holiday 6.PNG", "Holiday"), 6);
    EXPECT_EQ(NumberOfGroupName("Holiday 5.Jpeg", "Holiday"), 5);
    EXPECT_EQ(NumberOfGroupName("Holiday 8.tif", "Holiday"), 8);
    EXPECT_EQ(NumberOfGroupName("Holiday 10.CR2", "Holiday"), 10);
    EXPECT_EQ(NumberOfGroupName("Holiday 11.heic", "Holiday"), 11);
    EXPECT_EQ(NumberOfGroupName("Holiday 12.MTS", "Holiday"), 12);
    EXPECT_EQ(NumberOfGroupName("Holiday 13.CR2.xmp", "Holiday"), 13) << "a sidecar's copy";
    EXPECT_EQ(NumberOfGroupName("Holiday 3.txt", "Holiday"), std::nullopt) << "not a picture";
    EXPECT_EQ(NumberOfGroupName(".~Holiday 3.jpg.snapferry", "Holiday"), std::nullopt);
    EXPECT_EQ(NumberOfGroupName("Holidays 3.jpg", "Holiday"), std::nullopt);
    EXPECT_EQ(NumberOfGroupName("Holiday3.jpg", "Holiday"), std::nullopt);
}

TEST(TransferNaming, ACopysTemporaryNameLeadsBackToItsFinalName) {
    for (const char* path :
         {"Lib/F/Holiday 1.jpg", "Lib/_x 2.JPG", "Holiday 3", "Lib/a.b/._c 4.png"}) {
        const std::string temporary = TemporaryCopyPath(path);
        const std::string name = temporary.substr(temporary.find_last_of('/') + 1);
        EXPECT_TRUE(IsTemporaryCopyName(name)) << temporary;
        EXPECT_NE(name.rfind("._", 0), 0u) << "shares that veto ._ names must take it";
        EXPECT_EQ(FinalCopyPath(temporary), path);
        EXPECT_FALSE(IsTemporaryCopyName(path));
        EXPECT_EQ(FinalCopyPath(path), path);
    }
}

class FindLastNumberTest : public ::testing::Test {
protected:
    int Scan(std::initializer_list<const char*> names) {
        share.state->folders.insert("Lib/F");
        for (const char* name : names) {
            share.state->files[std::string("Lib/F/") + name] = "";
        }
        return FindLastNumber(&share, "Lib/F", "Holiday");
    }
    FakeShare share;
};

TEST_F(FindLastNumberTest, ContinuesAfterTheHighestNumber) {
    EXPECT_EQ(Scan({"Holiday 3.jpg", "Holiday 7.JPG", "Holiday 20.png", "Holiday 2.jpg"}), 20)
        << "a number names one picture, whatever its kind";
    EXPECT_EQ(Scan({"Holiday 31.txt", ".~Holiday 30.jpg.snapferry"}), 20);
}

TEST_F(FindLastNumberTest, StartsAtOneWithoutGroupFilesAndAtZeroWhenNoneIsNumbered) {
    EXPECT_EQ(Scan({"Other 5.jpg", "Holiday 9.txt"}), 0);
    EXPECT_EQ(Scan({"Holiday x.jpg"}), -1);
}

TEST_F(FindLastNumberTest, AFolderThatCannotBeListedStartsAtOne) {
    testing::internal::CaptureStdout();
    EXPECT_EQ(FindLastNumber(&share, "Lib/Missing", "Holiday"), 0);
    EXPECT_EQ(FindLastNumber(nullptr, "Lib/F", "Holiday"), 0);
    EXPECT_NE(testing::internal::GetCapturedStdout().find("Invalid File Handle"),
              std::string::npos);
}

TEST(TransferNaming, TheDestinationFolderIsTheLibraryShareAndTheLocation) {
    CTransferProperties properties;
    properties.location = "MyPhotos\\2024-05-01, Holiday";
    EXPECT_EQ(DestinationFolder(properties), "FamilyLibrary/MyPhotos/2024-05-01, Holiday");
    properties.library = 1;
    properties.location = "";
    EXPECT_EQ(DestinationFolder(properties), "MyLibrary");
}

TEST(SharePaths, SplitJoinAndRefuseStepsOutOfTheShare) {
    EXPECT_EQ(SplitPathParts("\\\\server\\share//a\\b\\"),
              (std::vector<std::string>{"server", "share", "a", "b"}));
    EXPECT_EQ(JoinSharePath("Lib", "a\\b/c"), "Lib/a/b/c");
    EXPECT_TRUE(IsSoundSharePath("Lib/a b/c.jpg"));
    EXPECT_FALSE(IsSoundSharePath("Lib/../etc"));
    EXPECT_FALSE(IsSoundSharePath("Lib/./x"));
    EXPECT_FALSE(IsSoundSharePath(""));

    std::string server;
    std::string path;
    ASSERT_TRUE(ParseNetworkPath("\\\\10.0.0.5\\FamilyLibrary", server, path));
    EXPECT_EQ(server, "10.0.0.5");
    EXPECT_EQ(path, "FamilyLibrary");
    ASSERT_TRUE(ParseNetworkPath("smb://127.0.0.1:4445/Lib/Sub", server, path));
    EXPECT_EQ(server, "127.0.0.1:4445");
    EXPECT_EQ(path, "Lib/Sub");
    EXPECT_FALSE(ParseNetworkPath("\\\\server", server, path));
}

TEST(SmbAddresses, EscapeEveryNameSoTheLibraryReadsItAsWritten) {
    EXPECT_EQ(BuildSmbUrl("10.0.0.5", "Family Library/100% ready?/#1 @home;x.jpg"),
              "smb://10.0.0.5/Family%20Library/100%25%20ready%3F/%231%20%40home%3Bx.jpg");
    EXPECT_EQ(BuildSmbUrl("h", "Lib/Ünïcode"), "smb://h/Lib/%C3%9Cn%C3%AFcode");
}

TEST(SmbAddresses, ReadAnOptionalPortFromTheAddressOrTheEnvironment) {
    SetTestEnvironment(kSmbPortVariable, std::nullopt);
    SmbEndpoint endpoint;
    ASSERT_TRUE(ParseServerAddress("192.168.1.20", endpoint));
    EXPECT_EQ(endpoint.host, "192.168.1.20");
    EXPECT_EQ(endpoint.port, 0);
    ASSERT_TRUE(ParseServerAddress("127.0.0.1:4445", endpoint));
    EXPECT_EQ(endpoint.host, "127.0.0.1");
    EXPECT_EQ(endpoint.port, 4445);
    EXPECT_FALSE(ParseServerAddress("127.0.0.1:0", endpoint));
    EXPECT_FALSE(ParseServerAddress("127.0.0.1:70000", endpoint));
    EXPECT_FALSE(ParseServerAddress("127.0.0.1:44x", endpoint));
    EXPECT_FALSE(ParseServerAddress("", endpoint));
    EXPECT_FALSE(ParseServerAddress("evil/host", endpoint));

    SetTestEnvironment(kSmbPortVariable, std::string("5445"));
    ASSERT_TRUE(ParseServerAddress("10.0.0.5", endpoint));
    EXPECT_EQ(endpoint.port, 5445);
    ASSERT_TRUE(ParseServerAddress("10.0.0.5:6445", endpoint));
    EXPECT_EQ(endpoint.port, 6445);
    SetTestEnvironment(kSmbPortVariable, std::nullopt);
}

TEST(ShareResults, MapTheLibrarysErrorsOntoWhatTheUserCanActOn) {
    EXPECT_TRUE(ShareResultFromErrno(0).ok());
    EXPECT_EQ(ShareResultFromErrno(EEXIST).status, ShareStatus::AlreadyExists);
    EXPECT_EQ(ShareResultFromErrno(EACCES).status, ShareStatus::AccessDenied);
    EXPECT_EQ(ShareResultFromErrno(ECONNREFUSED).status, ShareStatus::ConnectionRefused);
    EXPECT_EQ(ShareResultFromErrno(ENOSPC).status, ShareStatus::DiskFull);
    EXPECT_EQ(ShareResultFromErrno(ECONNRESET).status, ShareStatus::ConnectionLost);
    EXPECT_EQ(ShareResultFromErrno(ENETRESET).status, ShareStatus::ConnectionLost);
    EXPECT_TRUE(IsConnectionFailure(ShareResultFromErrno(ETIMEDOUT).status));
    EXPECT_FALSE(IsConnectionFailure(ShareResultFromErrno(EACCES).status));
    const ShareResult unknown = ShareResultFromErrno(EXDEV);
    EXPECT_EQ(unknown.status, ShareStatus::Failed);
    EXPECT_NE(unknown.Message().find('('), std::string::npos) << unknown.Message();
    EXPECT_EQ(ShareResultFromErrno(ENOSPC).Message(), "the server's disk is full");
}

TEST(AsyncRecords, PercentagesTruncateAndSurviveAZeroTotal) {
    EXPECT_EQ(kvFileStatusAsyncData(nullptr, 3, 2).Percent(), 66);
    EXPECT_EQ(kvFileStatusAsyncData(nullptr, 0, 0).Percent(), 0);
    EXPECT_EQ(kvFileStatusAsyncData(nullptr, 10, 10).Percent(), 100);
    EXPECT_EQ(kvGroupStatusAsyncData(nullptr, 0, 1, "x").Percent(), 0);
    EXPECT_EQ(kvDeleteStatusAsyncData(nullptr, 57, 1, "x").Percent(), 1);
    kvDoneCopyAsyncData orphan(nullptr, true);
    orphan.Apply(); // no sheet: nothing to update, nothing to crash
}

} // namespace
