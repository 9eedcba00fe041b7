// The names a lookup through the relay is made with, as the launcher remembers them: the home
// server's name on the relay domain (machine-wide) and the user's account name (per user).
#pragma once

#include <string>

std::string RememberedRelayServerName();
std::string RememberedRelayUserName();
bool RememberRelayUserName(const std::string& userName);
