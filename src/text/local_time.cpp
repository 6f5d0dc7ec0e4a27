#include "text/local_time.h"

#include "platform/platform.h"

bool CalendarTimeFromFileTime(uint64_t filetime, int64_t* seconds) {
  uint64_t local = 0;
  if (!platform::FileTimeToLocalFileTime(filetime, &local)) return false;
  platform::SystemTime st;
  if (!platform::FileTimeToSystemTime(local, &st)) return false;
  if (st.year < 1900) {
    *seconds = 0;
    return true;
  }
  *seconds = platform::MakeCalendarTime(st);
  return *seconds != -1;
}
