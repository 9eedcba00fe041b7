// Access to the files on a server's shares: results, paths and the session interface the copy
// engine, the authenticator and the folder listing work through.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

enum class ShareStatus {
    Ok,
    AlreadyExists,     // the destination name is taken
    NotFound,          // no such file, folder or share
    NotAFolder,        // a part of the path is a file
    AccessDenied,      // credentials refused, or no permission
    ConnectionRefused, // nothing answers on the server's port
    Unreachable,       // no route to the server, or it does not answer in time
    ConnectionLost,    // the connection broke during the operation
    DiskFull,          // the server's disk or the user's quota is full
    NameTooLong,
    InvalidName,          // a path part that no share accepts ("..", a name with a slash)
    Cancelled,            // the user cancelled
    SizeMismatch,         // the copy read back from the server differs from its source
    SourceUnreadable,     // the local source file cannot be opened or read
    NotSupported,         // this kind of server cannot take files
    OldProtocolOnly,      // the server offers nothing newer than SMB1, which is never used
    UntrustedCertificate, // the server's certificate cannot be verified: it is never accepted
    Failed,               // any other error
};

struct ShareResult {
    ShareStatus status = ShareStatus::Ok;
    int error = 0; // the errno value behind the status, 0 when there is none

    bool ok() const { return status == ShareStatus::Ok; }
    // The status' text, with the system's own error text when the status is Failed.
    std::string Message() const;
};

// The one table from errno values of the share library to statuses.
ShareResult ShareResultFromErrno(int error);
// A short readable text for a status ("the server's disk is full").
const char* DescribeShareStatus(ShareStatus status);
// A connection-class failure: trying again later, once the server is back, may succeed.
bool IsConnectionFailure(ShareStatus status);

struct ShareEntry {
    std::string name;
    bool isFolder = false;
    uint64_t size = 0;
};

// A file being written on a share. Destroying an open file closes it without reporting.
class CAbstractShareFile {
public:
    virtual ~CAbstractShareFile() = default;
    // Writes all of `size` bytes or fails.
    virtual ShareResult Write(const void* data, size_t size) = 0;
    virtual ShareResult Close() = 0;
};

// One server's shares. Paths are share paths: the share name, then the folders and the file
// name, joined by '/' ("FamilyLibrary/MyPhotos/Holiday 1.jpg"). A session is used by one thread
// at a time.
class CAbstractShareSession {
public:
    virtual ~CAbstractShareSession() = default;

    // The server's address as the user knows it.
    virtual std::string Server() const = 0;
    // The entries of a folder (or of a share's root), without "." and "..", in listing order.
    virtual ShareResult List(const std::string& folder, std::vector<ShareEntry>& entries) = 0;
    virtual ShareResult MakeFolder(const std::string& folder) = 0;
    // Creates a new file; a file that already exists is never opened (AlreadyExists).
    virtual ShareResult CreateNew(const std::string& path,
                                  std::unique_ptr<CAbstractShareFile>& file) = 0;
    virtual ShareResult Remove(const std::string& path) = 0;
    // What the share finds under `path`, looked up the way the share compares names (a share
    // that ignores letter case finds "a.JPG" for "A.jpg"); NotFound when nothing is there.
    virtual ShareResult Stat(const std::string& path, ShareEntry& entry) = 0;
    // Gives the file `from` the name `to` in the same folder, never replacing a file: a name
    // that is taken fails with AlreadyExists and leaves both files as they were.
    virtual ShareResult RenameNew(const std::string& from, const std::string& to) = 0;
};

// Splits a path written with '\' or '/' into its parts, dropping empty ones.
std::vector<std::string> SplitPathParts(std::string_view path);
// The parts of `path` joined to `folder` with '/'.
std::string JoinSharePath(std::string_view folder, std::string_view path);
// A share path is sound when it has at least a share and no part is "." or "..".
bool IsSoundSharePath(std::string_view path);

// A network path written "\\server\share\folder" (or with '/', or as "smb://server/share/..."),
// split into the server and the share path "share/folder". False when it does not name a server and
// a share.
bool ParseNetworkPath(std::string_view networkPath, std::string& server, std::string& sharePath);

// The names of the immediate sub-folders of `folder` (a share path), in listing order. When the
// folder cannot be listed, the list is empty, a diagnostic line goes to standard output and the
// result says why.
ShareResult ListSubFolders(CAbstractShareSession& session, const std::string& folder,
                           std::vector<std::string>& names);
