// FILETIME to calendar time by way of local time, as the schedule and the Chrome
// expiry convert it.
#pragma once

#include <cstdint>

// UTC FILETIME -> local FILETIME -> broken-down local time -> seconds since 1970
// (the runtime's local-time conversion, daylight saving left to it). A year
// before 1900, or a local time before the calendar's start, gives 0. False when a
// step fails or the result is -1.
bool CalendarTimeFromFileTime(uint64_t filetime, int64_t* seconds);
