#include "measurement/local_clock.h"

#include <ctime>

#include "measurement/time_text.h"

int64_t LocalNowSeconds() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_s(&local, &now);
    return SecondsFromCivil({local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                             local.tm_min, local.tm_sec});
}
