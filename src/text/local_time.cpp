#include "text/local_time.h"

#include "platform/platform.h"

namespace {

// No time zone is a day or more away from UTC.
constexpr uint64_t kFileTimeDay = 24ULL * 3600 * 10000000;

}  // namespace

bool CalendarTimeFromFileTime(uint64_t filetime, int64_t* seconds) {
  uint64_t local = 0;
  platform::SystemTime st;
  if (!platform::FileTimeToLocalFileTime(filetime, &local) ||
      !platform::FileTimeToSystemTime(local, &st)) {
    // West of UTC the first hours of the calendar have no local time: they come
    // before the calendar's start, a year before 1900 like the hours after it.
    if (filetime >= kFileTimeDay) return false;
    *seconds = 0;
    return true;
  }
  if (st.year < 1900) {
    *seconds = 0;
    return true;
  }
  *seconds = platform::MakeCalendarTime(st);
  return *seconds != -1;
}
