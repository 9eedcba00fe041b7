// Reading a small configuration file that anyone may have put in the program's folder.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

// The whole content of the regular file at `path`, or nothing when it is missing, unreadable, not
// a regular file (a FIFO, a device, a folder) or larger than `maxSize` bytes. Never blocks on
// what is not a regular file. `error`, when given, says why there is nothing: ENOENT for a
// missing file, EINVAL for one that is not regular, EFBIG for one too large, else the system's.
std::optional<std::string> ReadRegularFile(const std::string& path, std::size_t maxSize,
                                           int* error = nullptr);
