#include "package/zip/dos_time.h"

namespace flashsaver {

uint32_t ValidDosDateTime(uint32_t date_time) {
  uint32_t hour = (date_time >> 11) & 0x1F;
  uint32_t minute = (date_time >> 5) & 0x3F;
  uint32_t seconds2 = date_time & 0x1F;
  uint32_t year = (date_time >> 25) & 0x7F;
  uint32_t month = (date_time >> 21) & 0x0F;
  uint32_t day = (date_time >> 16) & 0x1F;
  bool changed = false;
  auto clamp = [&changed](uint32_t& v, uint32_t low, uint32_t high) {
    if (v < low) v = low, changed = true;
    if (v > high) v = high, changed = true;
  };
  clamp(hour, 0, 23);
  clamp(minute, 0, 59);
  clamp(seconds2, 0, 29);
  clamp(year, 0, 2099 - 1980);
  clamp(month, 1, 12);
  clamp(day, 1, 31);
  if (!changed) return date_time;
  return (year << 25) | (month << 21) | (day << 16) | (hour << 11) | (minute << 5) | seconds2;
}

}  // namespace flashsaver
