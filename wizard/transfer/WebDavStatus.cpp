#include "wizard/transfer/WebDavStatus.h"

#include <curl/curl.h>

#include <cerrno>
#include <optional>

namespace {

struct HttpMapping {
    std::optional<DavMethod> method; // none: any request
    long status;
    ShareStatus share;
    int error;
};

// The first row that matches wins: the rows for one request come before the general ones.
constexpr HttpMapping kHttpTable[] = {
    // MKCOL of a folder that exists; a folder whose parent is missing.
    {DavMethod::Mkcol, 405, ShareStatus::AlreadyExists, EEXIST},
    {DavMethod::Mkcol, 409, ShareStatus::NotFound, ENOENT},
    // PUT into a folder that does not exist; PUT with If-None-Match of a name that is taken.
    {DavMethod::Put, 409, ShareStatus::NotFound, ENOENT},
    {DavMethod::Put, 412, ShareStatus::AlreadyExists, EEXIST},
    // MOVE with Overwrite: F onto a name that is taken; into a folder that is missing.
    {DavMethod::Move, 412, ShareStatus::AlreadyExists, EEXIST},
    {DavMethod::Move, 409, ShareStatus::NotFound, ENOENT},
    {std::nullopt, 401, ShareStatus::AccessDenied, EACCES},
    {std::nullopt, 403, ShareStatus::AccessDenied, EACCES},
    {std::nullopt, 404, ShareStatus::NotFound, ENOENT},
    {std::nullopt, 405, ShareStatus::NotSupported, EOPNOTSUPP},
    {std::nullopt, 408, ShareStatus::Unreachable, ETIMEDOUT},
    {std::nullopt, 409, ShareStatus::NotAFolder, ENOTDIR},
    {std::nullopt, 413, ShareStatus::DiskFull, EFBIG},
    {std::nullopt, 414, ShareStatus::NameTooLong, ENAMETOOLONG},
    {std::nullopt, 423, ShareStatus::AccessDenied, EBUSY}, // locked by someone else
    {std::nullopt, 502, ShareStatus::Unreachable, EHOSTUNREACH},
    {std::nullopt, 503, ShareStatus::Unreachable, EHOSTUNREACH},
    {std::nullopt, 504, ShareStatus::Unreachable, ETIMEDOUT},
    {std::nullopt, 507, ShareStatus::DiskFull, ENOSPC},
};

struct CurlMapping {
    CURLcode code;
    ShareStatus share;
    int error;
};

constexpr CurlMapping kCurlTable[] = {
    {CURLE_COULDNT_CONNECT, ShareStatus::ConnectionRefused, ECONNREFUSED},
    {CURLE_COULDNT_RESOLVE_HOST, ShareStatus::Unreachable, EHOSTUNREACH},
    {CURLE_COULDNT_RESOLVE_PROXY, ShareStatus::Unreachable, EHOSTUNREACH},
    {CURLE_OPERATION_TIMEDOUT, ShareStatus::Unreachable, ETIMEDOUT},
    {CURLE_SEND_ERROR, ShareStatus::ConnectionLost, ECONNRESET},
    {CURLE_RECV_ERROR, ShareStatus::ConnectionLost, ECONNRESET},
    {CURLE_GOT_NOTHING, ShareStatus::ConnectionLost, ECONNRESET},
    {CURLE_PARTIAL_FILE, ShareStatus::ConnectionLost, ECONNRESET},
    // A kept connection that broke under a body already handed over: it cannot be sent again.
    {CURLE_SEND_FAIL_REWIND, ShareStatus::ConnectionLost, ECONNRESET},
    {CURLE_HTTP2_STREAM, ShareStatus::ConnectionLost, ECONNRESET},
    {CURLE_SSL_CONNECT_ERROR, ShareStatus::ConnectionLost, ECONNRESET},
    {CURLE_PEER_FAILED_VERIFICATION, ShareStatus::UntrustedCertificate, EACCES},
    {CURLE_SSL_CACERT_BADFILE, ShareStatus::UntrustedCertificate, EACCES},
    {CURLE_SSL_CERTPROBLEM, ShareStatus::UntrustedCertificate, EACCES},
    {CURLE_SSL_ISSUER_ERROR, ShareStatus::UntrustedCertificate, EACCES},
    {CURLE_SSL_PINNEDPUBKEYNOTMATCH, ShareStatus::UntrustedCertificate, EACCES},
    {CURLE_UNSUPPORTED_PROTOCOL, ShareStatus::NotSupported, EPROTONOSUPPORT},
    {CURLE_URL_MALFORMAT, ShareStatus::InvalidName, EINVAL},
    {CURLE_ABORTED_BY_CALLBACK, ShareStatus::Cancelled, ECANCELED},
    {CURLE_READ_ERROR, ShareStatus::SourceUnreadable, EIO},
    {CURLE_OUT_OF_MEMORY, ShareStatus::Failed, ENOMEM},
};

} // namespace

ShareResult ShareResultFromHttp(DavMethod method, long status) {
    if (status >= 200 && status < 300) {
        return {};
    }
    for (const HttpMapping& row : kHttpTable) {
        if (row.status == status && (!row.method || *row.method == method)) {
            return {row.share, row.error};
        }
    }
    // A redirection is never followed (it could lead off the server); any other status is a
    // failure of the server's own.
    return {ShareStatus::Failed, EIO};
}

ShareResult ShareResultFromCurl(int code) {
    if (code == CURLE_OK) {
        return {};
    }
    for (const CurlMapping& row : kCurlTable) {
        if (row.code == code) {
            return {row.share, row.error};
        }
    }
    return {ShareStatus::Failed, EIO};
}
