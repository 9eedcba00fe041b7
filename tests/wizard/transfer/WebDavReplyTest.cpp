// The web folder's side without a server: links, addresses of share paths, the PROPFIND reply
// reader and the meaning of the server's answers.
#include "wizard/transfer/WebDavReply.h"
#include "wizard/transfer/WebDavStatus.h"

#include <curl/curl.h>
#include <gtest/gtest.h>

namespace {

TEST(WebFolderLinkTest, OnlyAnHttpsLinkWithAFolderNamesAWebFolder) {
    WebFolderAddress address;
    ASSERT_TRUE(ParseWebFolderLink("HTTPS://home.example:8443/webdav/J%C3%BCrgen//", address));
    EXPECT_EQ(address.host, "home.example:8443");
    EXPECT_EQ(address.parent, "https://home.example:8443/webdav/");
    EXPECT_EQ(address.share, "J\xC3\xBCrgen");

    for (const char* refused : {"http://home/webdav/alice/", "https://home/", "https:///alice/",
                                "https://user@home/alice/", "https://home/%2E%2E/",
                                "file:///etc/alice/", "https://home/a%2Fb/"}) {
        EXPECT_FALSE(ParseWebFolderLink(refused, address)) << refused;
    }
}

TEST(WebFolderLinkTest, EveryPartOfASharePathIsEscapedSoThatNoNameChangesTheAddress) {
    WebFolderAddress address;
    ASSERT_TRUE(ParseWebFolderLink("https://h/webdav/alice/", address));
    EXPECT_EQ(WebFolderUrl(address, "alice/Trips 2024/Holiday #1?%.jpg", false),
              "https://h/webdav/alice/Trips%202024/Holiday%20%231%3F%25.jpg");
    EXPECT_EQ(WebFolderUrl(address, "alice\\Pictures", true), "https://h/webdav/alice/Pictures/");
}

TEST(MultistatusTest, ReadsEntriesWhateverTheServersPrefixesAndSkipsFailedProperties) {
    const char* reply = R"(<?xml version="1.0" encoding="utf-8"?>
<D:multistatus xmlns:D="DAV:">
 <D:response xmlns:lp1="DAV:">
  <D:href>/webdav/alice/Trip/</D:href>
  <D:propstat><D:prop><lp1:resourcetype><D:collection/></lp1:resourcetype></D:prop>
   <D:status>HTTP/1.1 200 OK</D:status></D:propstat>
 </D:response>
 <D:response>
  <D:href>https://h:1/webdav/alice/Trip/Holiday%201.jpg</D:href>
  <D:propstat><D:prop><D:resourcetype/><D:getcontentlength>2097152</D:getcontentlength></D:prop>
   <D:status>HTTP/1.1 200 OK</D:status></D:propstat>
  <D:propstat><D:prop><D:getcontentlength>1</D:getcontentlength></D:prop>
   <D:status>HTTP/1.1 404 Not Found</D:status></D:propstat>
 </D:response>
 <response xmlns="DAV:"><href>/webdav/alice/Trip/gone.jpg</href>
  <propstat><prop><getcontentlength>9</getcontentlength></prop>
   <status>HTTP/1.1 403 Forbidden</status></propstat></response>
 <D:response><D:href>/webdav/alice/Trip/huge.jpg</D:href>
  <D:propstat><D:prop><D:getcontentlength>99999999999999999999999</D:getcontentlength></D:prop>
   <D:status>HTTP/1.1 200 OK</D:status></D:propstat></D:response>
</D:multistatus>)";
    std::vector<DavResource> resources;
    ASSERT_TRUE(ParseMultistatus(reply, resources));
    ASSERT_EQ(resources.size(), 3u);
    EXPECT_EQ(resources[0].path, "/webdav/alice/Trip");
    EXPECT_TRUE(resources[0].isFolder);
    EXPECT_EQ(resources[1].path, "/webdav/alice/Trip/Holiday 1.jpg");
    EXPECT_FALSE(resources[1].isFolder);
    EXPECT_EQ(resources[1].size, 2097152u);
    EXPECT_EQ(resources[2].size, 0u); // a length that does not fit is no length

    resources.clear();
    EXPECT_FALSE(ParseMultistatus("<html><body>404 Not Found</body></html>", resources));
    EXPECT_FALSE(ParseMultistatus("<D:multistatus xmlns:D=\"DAV:\"><D:response>", resources));
    EXPECT_TRUE(resources.empty());
}

TEST(DavStatusTest, EachAnswerMeansWhatItMeansForItsRequest) {
    struct Row {
        DavMethod method;
        long status;
        ShareStatus expected;
    };
    const Row rows[] = {
        {DavMethod::Put, 201, ShareStatus::Ok},
        {DavMethod::Delete, 204, ShareStatus::Ok},
        {DavMethod::Move, 412, ShareStatus::AlreadyExists},
        {DavMethod::Put, 412, ShareStatus::AlreadyExists},
        {DavMethod::Mkcol, 405, ShareStatus::AlreadyExists},
        {DavMethod::Delete, 405, ShareStatus::NotSupported},
        {DavMethod::Mkcol, 409, ShareStatus::NotFound},
        {DavMethod::Propfind, 401, ShareStatus::AccessDenied},
        {DavMethod::Put, 507, ShareStatus::DiskFull},
        {DavMethod::Propfind, 404, ShareStatus::NotFound},
        {DavMethod::Propfind, 301, ShareStatus::Failed},
        {DavMethod::Put, 500, ShareStatus::Failed},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(ShareResultFromHttp(row.method, row.status).status, row.expected)
            << "HTTP " << row.status;
    }
    EXPECT_EQ(ShareResultFromCurl(CURLE_COULDNT_CONNECT).status, ShareStatus::ConnectionRefused);
    EXPECT_EQ(ShareResultFromCurl(CURLE_RECV_ERROR).status, ShareStatus::ConnectionLost);
    EXPECT_EQ(ShareResultFromCurl(CURLE_SEND_FAIL_REWIND).status, ShareStatus::ConnectionLost);
    EXPECT_EQ(ShareResultFromCurl(CURLE_OPERATION_TIMEDOUT).status, ShareStatus::Unreachable);
    EXPECT_EQ(ShareResultFromCurl(CURLE_PEER_FAILED_VERIFICATION).status,
              ShareStatus::UntrustedCertificate);
    EXPECT_EQ(ShareResultFromCurl(CURLE_UNSUPPORTED_PROTOCOL).status, ShareStatus::NotSupported);
}

} // namespace
