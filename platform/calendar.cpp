#include "platform/calendar.h"

int64_t DaysFromCivil(int64_t year, int month, int day) {
  year -= month <= 2;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t yearOfEra = year - era * 400;
  const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

CivilTime CivilFromDays(int64_t days) {
  const int64_t z = days + 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t dayOfEra = z - era * 146097;
  const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t mp = (5 * dayOfYear + 2) / 153;
  CivilTime t{};
  t.month = int(mp < 10 ? mp + 3 : mp - 9);
  t.day = int(dayOfYear - (153 * mp + 2) / 5 + 1);
  t.year = yearOfEra + era * 400 + (t.month <= 2 ? 1 : 0);
  return t;
}

int DaysInMonth(int64_t year, int month) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

CivilTime CivilFromUnixTime(int64_t seconds) {
  int64_t days = seconds / 86400;
  int64_t secondOfDay = seconds % 86400;
  if (secondOfDay < 0) {
    secondOfDay += 86400;
    --days;
  }
  CivilTime t = CivilFromDays(days);
  t.hour = int(secondOfDay / 3600);
  t.minute = int(secondOfDay % 3600 / 60);
  t.second = int(secondOfDay % 60);
  return t;
}

int64_t UnixTimeFromCivil(const CivilTime& t) {
  return DaysFromCivil(t.year, t.month, t.day) * 86400 + t.hour * 3600 + t.minute * 60 + t.second;
}

uint64_t FileTimeFromTicksSince1970(int64_t ticks) { return uint64_t(ticks + kFileTimeTicksAt1970); }

uint64_t FileTimeFromUnixTime(int64_t seconds) { return FileTimeFromTicksSince1970(seconds * kFileTimeTicksPerSecond); }

int64_t TicksSince1970Of(uint64_t time) { return int64_t(time) - kFileTimeTicksAt1970; }

uint64_t FileTimeFromDos(uint16_t date, uint16_t time) {
  const CivilTime t{1980 + (date >> 9), (date >> 5) & 0x0F, date & 0x1F, time >> 11, (time >> 5) & 0x3F, (time & 0x1F) * 2};
  if (t.month < 1 || t.month > 12 || t.day < 1 || t.day > DaysInMonth(t.year, t.month) || t.hour > 23 ||
      t.minute > 59 || t.second > 59)
    return 0;
  return FileTimeFromUnixTime(UnixTimeFromCivil(t));
}
