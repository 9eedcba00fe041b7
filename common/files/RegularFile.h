// Reading a small configuration file that anyone may have put in the program's folder, and
// replacing a file whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

// The whole content of the regular file at `path`, or nothing when it is missing, unreadable, not
// a regular file (a FIFO, a device, a folder) or larger than `maxSize` bytes. Never blocks on
// what is not a regular file. `error`, when given, says why there is nothing: ENOENT for a
// missing file, EINVAL for one that is not regular, EFBIG for one too large, else the system's.
std::optional<std::string> ReadRegularFile(const std::string& path, std::size_t maxSize,
                                           int* error = nullptr);

// Replaces the file at `path` with `contents` through a temporary file beside it that is flushed
// to the disk before it takes the file's place, so that a crash at any moment leaves the old
// contents or the new ones, never a mixture. False, with the file untouched and no temporary file
// left, when any step fails.
bool ReplaceRegularFile(const std::string& path, std::string_view contents);

// Opens a local regular file for reading in binary mode, with its size. Null, with `error` set
// (an errno value; EISDIR for anything but a regular file), when it cannot. Paths are UTF-8 on
// every platform.
std::FILE* OpenRegularFileForReading(const std::string& path, std::uint64_t& size, int& error);

// Deletes a local file. False, with `error` set (an errno value), when it cannot.
bool RemoveLocalFile(const std::string& path, int& error);

// The size and the last modification time (nanoseconds since 1970) of the regular file at
// `path`; false for anything else or nothing.
bool RegularFileFacts(const std::string& path, std::uint64_t& size, std::int64_t& modified);

// Whether anything is at `path` (a link is not followed: a dangling one is there too).
bool LocalPathExists(const std::string& path);

// Why nothing could be written into `folder`, as an errno value: EROFS on a read-only volume,
// EACCES without the right to change it; 0 when nothing is known to stop a write.
int FolderWriteError(const std::string& folder);
