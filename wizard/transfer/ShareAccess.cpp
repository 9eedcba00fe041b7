#include "wizard/transfer/ShareAccess.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

struct ErrnoMapping {
    int error;
    ShareStatus status;
};

// Every errno value the share library is known to give, and what it means to the user. Codes that
// only some systems have (a host that is down, a quota) are listed where they exist.
constexpr ErrnoMapping kErrnoTable[] = {
    {EEXIST, ShareStatus::AlreadyExists},
    {ENOENT, ShareStatus::NotFound},
    {ENODEV, ShareStatus::NotFound}, // a share that the server does not offer
    {ENOTDIR, ShareStatus::NotAFolder},
    {EACCES, ShareStatus::AccessDenied},
    {EPERM, ShareStatus::AccessDenied},
    {EROFS, ShareStatus::AccessDenied},
    {ECONNREFUSED, ShareStatus::ConnectionRefused},
    {EHOSTUNREACH, ShareStatus::Unreachable},
    {ENETUNREACH, ShareStatus::Unreachable},
#ifdef EHOSTDOWN
    {EHOSTDOWN, ShareStatus::Unreachable},
#endif
    {ETIMEDOUT, ShareStatus::Unreachable},
    {ENETDOWN, ShareStatus::Unreachable},
    {ECONNRESET, ShareStatus::ConnectionLost},
    {ENETRESET, ShareStatus::ConnectionLost}, // a server stopping mid-write, seen under load
    {ECONNABORTED, ShareStatus::ConnectionLost},
    {ENOTCONN, ShareStatus::ConnectionLost},
    {EPIPE, ShareStatus::ConnectionLost},
    {EIO, ShareStatus::ConnectionLost},
    {ENOSPC, ShareStatus::DiskFull},
#ifdef EDQUOT
    {EDQUOT, ShareStatus::DiskFull},
#endif
    {ENAMETOOLONG, ShareStatus::NameTooLong},
    {EINVAL, ShareStatus::InvalidName},
    {ECANCELED, ShareStatus::Cancelled},
};

} // namespace

ShareResult ShareResultFromErrno(int error) {
    if (error == 0) {
        return {};
    }
    for (const ErrnoMapping& mapping : kErrnoTable) {
        if (mapping.error == error) {
            return {mapping.status, error};
        }
    }
    return {ShareStatus::Failed, error};
}

const char* DescribeShareStatus(ShareStatus status) {
    switch (status) {
    case ShareStatus::Ok:
        return "no error";
    case ShareStatus::AlreadyExists:
        return "a file of that name already exists";
    case ShareStatus::NotFound:
        return "the share, folder or file does not exist";
    case ShareStatus::NotAFolder:
        return "a part of the path is not a folder";
    case ShareStatus::AccessDenied:
        return "access was denied";
    case ShareStatus::ConnectionRefused:
        return "the server refused the connection";
    case ShareStatus::Unreachable:
        return "the server cannot be reached";
    case ShareStatus::ConnectionLost:
        return "the connection to the server was lost";
    case ShareStatus::DiskFull:
        return "the server's disk is full";
    case ShareStatus::NameTooLong:
        return "the name is too long";
    case ShareStatus::InvalidName:
        return "the name is not valid on the server";
    case ShareStatus::Cancelled:
        return "cancelled";
    case ShareStatus::SizeMismatch:
        return "the copy on the server differs from the picture";
    case ShareStatus::SourceUnreadable:
        return "the picture cannot be read";
    case ShareStatus::NotSupported:
        return "this server cannot receive files";
    case ShareStatus::UntrustedCertificate:
        return "the server's certificate cannot be verified";
    case ShareStatus::OldProtocolOnly:
        return "the server only offers the old SMB1 protocol, which this program does not use "
               "because it is unsafe; the server's file-sharing settings should allow SMB2 or "
               "later";
    case ShareStatus::Failed:
        break;
    }
    return "the operation failed";
}

bool IsConnectionFailure(ShareStatus status) {
    return status == ShareStatus::ConnectionRefused || status == ShareStatus::Unreachable ||
           status == ShareStatus::ConnectionLost;
}

std::string ShareResult::Message() const {
    std::string text = DescribeShareStatus(status);
    if (status == ShareStatus::Failed && error != 0) {
        text += " (";
        text += std::strerror(error);
        text += ")";
    }
    return text;
}

std::vector<std::string> SplitPathParts(std::string_view path) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find_first_of("\\/", start);
        if (end == std::string_view::npos) {
            end = path.size();
        }
        if (end > start) {
            parts.emplace_back(path.substr(start, end - start));
        }
        start = end + 1;
    }
    return parts;
}

std::string JoinSharePath(std::string_view folder, std::string_view path) {
    std::string joined;
    for (std::string_view piece : {folder, path}) {
        for (const std::string& part : SplitPathParts(piece)) {
            if (!joined.empty()) {
                joined += '/';
            }
            joined += part;
        }
    }
    return joined;
}

bool IsSoundSharePath(std::string_view path) {
    const std::vector<std::string> parts = SplitPathParts(path);
    if (parts.empty()) {
        return false;
    }
    for (const std::string& part : parts) {
        if (part == "." || part == "..") {
            return false;
        }
    }
    return true;
}

bool ParseNetworkPath(std::string_view networkPath, std::string& server, std::string& sharePath) {
    if (networkPath.starts_with("smb:")) {
        networkPath.remove_prefix(4);
    }
    std::vector<std::string> parts = SplitPathParts(networkPath);
    if (parts.size() < 2) {
        return false;
    }
    server = parts.front();
    sharePath.clear();
    for (size_t i = 1; i < parts.size(); ++i) {
        if (!sharePath.empty()) {
            sharePath += '/';
        }
        sharePath += parts[i];
    }
    return true;
}

ShareResult ListSubFolders(CAbstractShareSession& session, const std::string& folder,
                           std::vector<std::string>& names) {
    names.clear();
    std::vector<ShareEntry> entries;
    const ShareResult result = session.List(folder, entries);
    if (!result.ok()) {
        std::printf("Invalid File Handle. GetLastError reports %d\n", result.error);
        return result;
    }
    for (ShareEntry& entry : entries) {
        if (entry.isFolder) {
            names.push_back(std::move(entry.name));
        }
    }
    return result;
}
