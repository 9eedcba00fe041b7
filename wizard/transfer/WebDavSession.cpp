// Requests go through one multi handle per session, which keeps the connection open between
// them; an upload is driven piece by piece from the copy engine's writes, so that its progress
// is the server's and a cancel or a failure stops it between pieces.
#include "wizard/transfer/WebDavSession.h"

#include "common/relay/CurlTrust.h"
#include "wizard/transfer/WebDavStatus.h"

#include <curl/curl.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <mutex>

namespace {

// A PROPFIND reply of a folder of some thousands of pictures fits with room to spare.
constexpr size_t kMaxReplyBytes = 16u << 20;

constexpr const char* kPropfindBody =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
    "<D:propfind xmlns:D=\"DAV:\"><D:prop><D:resourcetype/><D:getcontentlength/></D:prop>"
    "</D:propfind>";

struct SlistDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using HeaderList = std::unique_ptr<curl_slist, SlistDeleter>;

HeaderList MakeHeaders(std::initializer_list<std::string> lines) {
    curl_slist* list = nullptr;
    for (const std::string& line : lines) {
        if (curl_slist* longer = curl_slist_append(list, line.c_str())) {
            list = longer;
        }
    }
    return HeaderList(list);
}

size_t AppendReply(char* data, size_t size, size_t count, void* userData) {
    auto* reply = static_cast<std::string*>(userData);
    const size_t bytes = size * count;
    if (reply->size() + bytes > kMaxReplyBytes) {
        return 0;
    }
    reply->append(data, bytes);
    return bytes;
}

class CWebDavSession;

// A file being uploaded: PUT of a body that the copy engine's writes hand over piece by piece.
class CWebDavFile final : public CAbstractShareFile {
public:
    CWebDavFile(CWebDavSession& session, std::string path)
        : m_session(session), m_path(std::move(path)) {}
    ~CWebDavFile() override;

    ShareResult Start();
    ShareResult Write(const void* data, size_t size) override;
    ShareResult Close() override;

    static size_t Read(char* buffer, size_t size, size_t count, void* userData);

private:
    CWebDavSession& m_session;
    std::string m_path;
    HeaderList m_headers;
    std::string m_reply;
    const char* m_pending = nullptr;
    size_t m_pendingSize = 0;
    bool m_finished = false; // no more bytes come
    bool m_open = false;
};

class CWebDavSession final : public CAbstractShareSession {
public:
    CWebDavSession(WebFolderAddress address, std::shared_ptr<CAbstractCredentialSource> source,
                   WebDavLimits limits)
        : m_address(std::move(address)), m_credentials(std::move(source)), m_limits(limits) {
        static std::once_flag globalInit;
        std::call_once(globalInit, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
        m_easy = curl_easy_init();
        m_multi = curl_multi_init();
    }

    ~CWebDavSession() override {
        if (m_multi != nullptr && m_easy != nullptr && m_attached) {
            curl_multi_remove_handle(m_multi, m_easy);
        }
        if (m_easy != nullptr) {
            curl_easy_cleanup(m_easy);
        }
        if (m_multi != nullptr) {
            curl_multi_cleanup(m_multi);
        }
    }

    CWebDavSession(const CWebDavSession&) = delete;
    CWebDavSession& operator=(const CWebDavSession&) = delete;

    std::string Server() const override { return m_address.host; }

    ShareResult List(const std::string& folder, std::vector<ShareEntry>& entries) override {
        entries.clear();
        std::vector<DavResource> resources;
        if (ShareResult listed = Propfind(folder, "1", resources); !listed.ok()) {
            return listed;
        }
        const std::string self = HrefPath(WebFolderUrl(m_address, folder, true));
        for (const DavResource& resource : resources) {
            if (resource.path == self) {
                continue;
            }
            const size_t slash = resource.path.rfind('/');
            std::string name = resource.path.substr(slash + 1);
            // Only the folder's own entries count: an href elsewhere is no entry of it.
            if (name.empty() || resource.path.compare(0, slash, self) != 0 ||
                slash != self.size()) {
                continue;
            }
            entries.push_back({std::move(name), resource.isFolder, resource.size});
        }
        return {};
    }

    ShareResult MakeFolder(const std::string& folder) override {
        if (!IsSoundSharePath(folder)) {
            return {ShareStatus::InvalidName, EINVAL};
        }
        return Simple(DavMethod::Mkcol, "MKCOL", WebFolderUrl(m_address, folder, true), {});
    }

    ShareResult CreateNew(const std::string& path,
                          std::unique_ptr<CAbstractShareFile>& file) override {
        file.reset();
        if (!IsSoundSharePath(path) || SplitPathParts(path).size() < 2) {
            return {ShareStatus::InvalidName, EINVAL};
        }
        // The name is looked up first, so that a taken one is refused before any byte goes;
        // the PUT itself carries If-None-Match as well, for a name taken meanwhile.
        ShareEntry existing;
        if (const ShareResult found = Stat(path, existing); found.ok()) {
            return {ShareStatus::AlreadyExists, EEXIST};
        } else if (found.status != ShareStatus::NotFound) {
            return found;
        }
        auto upload = std::make_unique<CWebDavFile>(*this, path);
        if (ShareResult started = upload->Start(); !started.ok()) {
            return started;
        }
        file = std::move(upload);
        return {};
    }

    ShareResult Remove(const std::string& path) override {
        if (!IsSoundSharePath(path) || SplitPathParts(path).size() < 2) {
            return {ShareStatus::InvalidName, EINVAL};
        }
        return Simple(DavMethod::Delete, "DELETE", WebFolderUrl(m_address, path, false), {});
    }

    ShareResult Stat(const std::string& path, ShareEntry& entry) override {
        std::vector<DavResource> resources;
        if (ShareResult found = Propfind(path, "0", resources); !found.ok()) {
            return found;
        }
        if (resources.empty()) {
            return {ShareStatus::NotFound, ENOENT};
        }
        const std::vector<std::string> parts = SplitPathParts(path);
        entry = {parts.empty() ? std::string() : parts.back(), resources.front().isFolder,
                 resources.front().size};
        return {};
    }

    ShareResult RenameNew(const std::string& from, const std::string& to) override {
        if (!IsSoundSharePath(from) || !IsSoundSharePath(to)) {
            return {ShareStatus::InvalidName, EINVAL};
        }
        // Overwrite: F makes the server refuse a taken name (412) instead of replacing it.
        return Simple(DavMethod::Move, "MOVE", WebFolderUrl(m_address, from, false),
                      {"Destination: " + WebFolderUrl(m_address, to, false), "Overwrite: F"});
    }

private:
    friend class CWebDavFile;

    ShareResult Propfind(const std::string& path, const char* depth,
                         std::vector<DavResource>& resources) {
        if (!IsSoundSharePath(path)) {
            return {ShareStatus::InvalidName, EINVAL};
        }
        std::string reply;
        long status = 0;
        const bool folder = std::string(depth) == "1";
        const std::string url = WebFolderUrl(m_address, path, folder);
        ShareResult result = Request(
            "PROPFIND", url,
            {std::string("Depth: ") + depth, "Content-Type: application/xml; charset=utf-8"},
            kPropfindBody, reply, status);
        if (!result.ok()) {
            return result;
        }
        if (result = ShareResultFromHttp(DavMethod::Propfind, status); !result.ok()) {
            return result;
        }
        if (status != 207 || !ParseMultistatus(reply, resources)) {
            std::printf("PROPFIND %s: no listing in the reply (HTTP %ld)\n", url.c_str(), status);
            return {ShareStatus::Failed, EPROTO};
        }
        return {};
    }

    ShareResult Simple(DavMethod method, const char* verb, const std::string& url,
                       std::initializer_list<std::string> headers) {
        std::string reply;
        long status = 0;
        if (ShareResult result = Request(verb, url, headers, nullptr, reply, status);
            !result.ok()) {
            return result;
        }
        const ShareResult result = ShareResultFromHttp(method, status);
        if (!result.ok() && result.status == ShareStatus::Failed) {
            std::printf("%s %s: HTTP status %ld\n", verb, url.c_str(), status);
        }
        return result;
    }

    // Sets the options every request has: HTTPS only, the certificate checked, the
    // credentials, the time limits.
    ShareResult Prepare() {
        if (m_easy == nullptr || m_multi == nullptr) {
            return {ShareStatus::Failed, ENOMEM};
        }
        curl_easy_reset(m_easy);
        m_errorText[0] = '\0';
        const ShareCredentials credentials =
            m_credentials ? m_credentials->Lookup(m_address.host, m_address.share)
                          : ShareCredentials{};
        curl_easy_setopt(m_easy, CURLOPT_PROTOCOLS_STR, "https");
        curl_easy_setopt(m_easy, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(m_easy, CURLOPT_FOLLOWLOCATION, 0L);
        curl_easy_setopt(m_easy, CURLOPT_USERAGENT, "snapferry/1.2");
        curl_easy_setopt(m_easy, CURLOPT_CONNECTTIMEOUT_MS,
                         static_cast<long>(m_limits.connectTimeout.count()));
        curl_easy_setopt(m_easy, CURLOPT_ERRORBUFFER, m_errorText);
        ApplyCertificateTrust(m_easy);
        if (!credentials.user.empty()) {
            // Basic is enough under TLS, and costs no round trip of its own.
            curl_easy_setopt(m_easy, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC));
            curl_easy_setopt(m_easy, CURLOPT_USERNAME, credentials.user.c_str());
            curl_easy_setopt(m_easy, CURLOPT_PASSWORD, credentials.password.c_str());
        }
        return {};
    }

    ShareResult Request(const char* verb, const std::string& url,
                        std::initializer_list<std::string> headerLines, const char* body,
                        std::string& reply, long& status) {
        if (ShareResult ready = Prepare(); !ready.ok()) {
            return ready;
        }
        HeaderList headers = MakeHeaders(headerLines);
        curl_easy_setopt(m_easy, CURLOPT_URL, url.c_str());
        curl_easy_setopt(m_easy, CURLOPT_CUSTOMREQUEST, verb);
        curl_easy_setopt(m_easy, CURLOPT_HTTPHEADER, headers.get());
        curl_easy_setopt(m_easy, CURLOPT_TIMEOUT_MS,
                         static_cast<long>(m_limits.requestTimeout.count()));
        curl_easy_setopt(m_easy, CURLOPT_WRITEFUNCTION, &AppendReply);
        curl_easy_setopt(m_easy, CURLOPT_WRITEDATA, &reply);
        if (body != nullptr) {
            curl_easy_setopt(m_easy, CURLOPT_POSTFIELDS, body);
            curl_easy_setopt(m_easy, CURLOPT_POSTFIELDSIZE, static_cast<long>(std::strlen(body)));
        } else if (std::strcmp(verb, "DELETE") == 0 || std::strcmp(verb, "MKCOL") == 0 ||
                   std::strcmp(verb, "MOVE") == 0) {
            curl_easy_setopt(m_easy, CURLOPT_NOBODY, 0L);
        }
        const ShareResult result = RunToEnd(url, verb);
        if (result.ok()) {
            curl_easy_getinfo(m_easy, CURLINFO_RESPONSE_CODE, &status);
        }
        return result;
    }

    ShareResult RunToEnd(const std::string& url, const char* verb) {
        if (ShareResult attached = Attach(); !attached.ok()) {
            return attached;
        }
        Drive(nullptr);
        Detach();
        return Outcome(url, verb);
    }

    ShareResult Attach() {
        m_ended = false;
        m_code = CURLE_OK;
        if (curl_multi_add_handle(m_multi, m_easy) != CURLM_OK) {
            return {ShareStatus::Failed, ENOMEM};
        }
        m_attached = true;
        return {};
    }

    void Detach() {
        if (m_attached) {
            curl_multi_remove_handle(m_multi, m_easy);
            m_attached = false;
        }
    }

    ShareResult Outcome(const std::string& url, const char* verb) const {
        if (m_code == CURLE_OK) {
            return {};
        }
        std::printf("%s %s: %s (curl %d)\n", verb, url.c_str(),
                    m_errorText[0] != '\0' ? m_errorText : curl_easy_strerror(m_code),
                    static_cast<int>(m_code));
        return ShareResultFromCurl(m_code);
    }

    // Runs the transfer until it ends or `enough` says the caller may go on; true when it
    // ended.
    bool Drive(const std::function<bool()>& enough) {
        while (!m_ended) {
            int running = 0;
            if (curl_multi_perform(m_multi, &running) != CURLM_OK) {
                m_ended = true;
                m_code = CURLE_SEND_ERROR;
                break;
            }
            int left = 0;
            while (CURLMsg* message = curl_multi_info_read(m_multi, &left)) {
                if (message->msg == CURLMSG_DONE) {
                    m_ended = true;
                    m_code = message->data.result;
                }
            }
            if (m_ended || (enough && enough())) {
                break;
            }
            curl_multi_poll(m_multi, nullptr, 0, 200, nullptr);
        }
        return m_ended;
    }

    WebFolderAddress m_address;
    std::shared_ptr<CAbstractCredentialSource> m_credentials;
    WebDavLimits m_limits;
    CURL* m_easy = nullptr;
    CURLM* m_multi = nullptr;
    bool m_attached = false;
    bool m_ended = false;
    CURLcode m_code = CURLE_OK;
    char m_errorText[CURL_ERROR_SIZE] = {};
};

CWebDavFile::~CWebDavFile() {
    if (m_open) {
        // Dropping the connection in mid-body makes the server discard what it received.
        m_session.Detach();
        m_open = false;
    }
}

size_t CWebDavFile::Read(char* buffer, size_t size, size_t count, void* userData) {
    auto* file = static_cast<CWebDavFile*>(userData);
    if (file->m_pendingSize == 0) {
        return file->m_finished ? 0 : CURL_READFUNC_PAUSE;
    }
    const size_t bytes = std::min(size * count, file->m_pendingSize);
    std::memcpy(buffer, file->m_pending, bytes);
    file->m_pending += bytes;
    file->m_pendingSize -= bytes;
    return bytes;
}

ShareResult CWebDavFile::Start() {
    CURL* easy = m_session.m_easy;
    if (ShareResult ready = m_session.Prepare(); !ready.ok()) {
        return ready;
    }
    const std::string url = WebFolderUrl(m_session.m_address, m_path, false);
    // No 100-continue: the name was looked up just before, and waiting for the server's go
    // would cost a round trip per picture.
    m_headers = MakeHeaders({"If-None-Match: *", "Expect:"});
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, m_headers.get());
    curl_easy_setopt(easy, CURLOPT_READFUNCTION, &CWebDavFile::Read);
    curl_easy_setopt(easy, CURLOPT_READDATA, this);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &AppendReply);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &m_reply);
    curl_easy_setopt(easy, CURLOPT_UPLOAD_BUFFERSIZE, 1L << 20);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME,
                     static_cast<long>(m_session.m_limits.stallTimeout.count()));
    if (ShareResult attached = m_session.Attach(); !attached.ok()) {
        return attached;
    }
    m_open = true;
    return {};
}

ShareResult CWebDavFile::Write(const void* data, size_t size) {
    if (!m_open) {
        return {ShareStatus::Failed, EBADF};
    }
    m_pending = static_cast<const char*>(data);
    m_pendingSize = size;
    curl_easy_pause(m_session.m_easy, CURLPAUSE_CONT);
    const bool ended = m_session.Drive([this] { return m_pendingSize == 0; });
    if (!ended) {
        return {};
    }
    // The server answered before the body was all there: a refusal, or a failure. Never a
    // success, since the body's end has not been sent.
    m_pendingSize = 0;
    const ShareResult closed = Close();
    return closed.ok() ? ShareResult{ShareStatus::ConnectionLost, ECONNRESET} : closed;
}

ShareResult CWebDavFile::Close() {
    if (!m_open) {
        return {ShareStatus::Failed, EBADF};
    }
    m_finished = true;
    m_pendingSize = 0;
    curl_easy_pause(m_session.m_easy, CURLPAUSE_CONT);
    m_session.Drive(nullptr);
    m_session.Detach();
    m_open = false;
    const std::string url = WebFolderUrl(m_session.m_address, m_path, false);
    if (ShareResult outcome = m_session.Outcome(url, "PUT"); !outcome.ok()) {
        return outcome;
    }
    long status = 0;
    curl_easy_getinfo(m_session.m_easy, CURLINFO_RESPONSE_CODE, &status);
    const ShareResult result = ShareResultFromHttp(DavMethod::Put, status);
    if (!result.ok()) {
        std::printf("PUT %s: HTTP status %ld\n", url.c_str(), status);
    }
    return result;
}

} // namespace

std::unique_ptr<CAbstractShareSession>
CreateWebDavSession(const WebFolderAddress& address,
                    std::shared_ptr<CAbstractCredentialSource> credentials, WebDavLimits limits) {
    return std::make_unique<CWebDavSession>(address, std::move(credentials), limits);
}
