// The server name ties a found server to the name it has under the relay domain: the first label
// of the host name it announces.
#pragma once

#include "common/discovery/DeviceRecord.h"

#include <optional>
#include <string>
#include <string_view>

// The host name up to its first "." (the whole name without one), at most kDeviceTextLimit bytes.
// None when the record has no server name: no address text, an empty host name, or the host
// name "legacy" in any letter case. A record without a server name is never matched or listed.
std::optional<std::string> ServerNameOf(const DeviceRecord& record);

// ASCII letters compared without regard to case, every other byte as it is.
bool EqualsIgnoringCase(std::string_view a, std::string_view b);
