#include "common/system/LocalTime.h"

bool ToLocalTime(std::time_t when, std::tm& local) {
    return ::localtime_s(&local, &when) == 0;
}
