// Writing files whole: what both stores that replace a file in place need.
#pragma once

#include <optional>
#include <string>
#include <string_view>

// Where a path's data really lives, following symbolic links (relative ones from their own
// folder), so that a file kept behind a link is replaced at its target and the link survives.
// Nothing when a link cannot be read or the links go round.
std::optional<std::string> ResolveSymbolicLinks(std::string path);

// Writes all of `data` to the descriptor, going on after interrupted writes.
bool WriteAll(int fd, std::string_view data);
