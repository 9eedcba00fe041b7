// The calendar of the user's time zone, thread-safely on every platform.
#pragma once

#include <ctime>

// `when` broken down in the local time zone; false when it cannot be (out of the system's range).
bool ToLocalTime(std::time_t when, std::tm& local);
