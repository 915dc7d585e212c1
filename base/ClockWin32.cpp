#include <windows.h>

#include "base/Clock.h"

TTimeOfDay LocalTimeOfDay() {
    SYSTEMTIME local{};
    ::GetLocalTime(&local);
    return {local.wHour, local.wMinute, local.wSecond, local.wMilliseconds};
}
