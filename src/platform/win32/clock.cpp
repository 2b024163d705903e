#include "platform/win32/win32_platform.h"

namespace volari {

DateTime from_system_time(const SYSTEMTIME& st) {
  DateTime t;
  t.year = st.wYear;
  t.month = st.wMonth;
  t.day_of_week = st.wDayOfWeek;
  t.day = st.wDay;
  t.hour = st.wHour;
  t.minute = st.wMinute;
  t.second = st.wSecond;
  t.millisecond = st.wMilliseconds;
  return t;
}

SYSTEMTIME to_system_time(const DateTime& t) {
  SYSTEMTIME st;
  st.wYear = t.year;
  st.wMonth = t.month;
  st.wDayOfWeek = t.day_of_week;
  st.wDay = t.day;
  st.wHour = t.hour;
  st.wMinute = t.minute;
  st.wSecond = t.second;
  st.wMilliseconds = t.millisecond;
  return st;
}

DateTime Win32Platform::local_time() {
  SYSTEMTIME st;
  GetLocalTime(&st);
  return from_system_time(st);
}

uint32_t Win32Platform::tick_count() {
  return GetTickCount();
}

bool Win32Platform::set_local_time(const DateTime& t) {
  const SYSTEMTIME st = to_system_time(t);
  return SetLocalTime(&st) != 0;
}

bool Win32Platform::set_system_time(const DateTime& utc) {
  const SYSTEMTIME st = to_system_time(utc);
  return SetSystemTime(&st) != 0;
}

// Through the local file time, as a file's time is shown in local time (the zone's present
// offset, daylight saving included).
bool Win32Platform::to_local(UnixTime t, DateTime* out) {
  FILETIME utc;
  FILETIME local;
  SYSTEMTIME st;
  if (!unix_to_file_time(t, &utc) || !FileTimeToLocalFileTime(&utc, &local) ||
      !FileTimeToSystemTime(&local, &st)) {
    return false;
  }
  *out = from_system_time(st);
  return true;
}

bool Win32Platform::to_utc(UnixTime t, DateTime* out) {
  FILETIME utc;
  SYSTEMTIME st;
  if (!unix_to_file_time(t, &utc) || !FileTimeToSystemTime(&utc, &st)) return false;
  *out = from_system_time(st);
  return true;
}

Platform& system_platform() {
  static Win32Platform platform;
  return platform;
}

}  // namespace volari
