// Calendar arithmetic in UTC on the proleptic Gregorian calendar, for every place that
// turns times into dates or file times. No time zones, no leap seconds, no locale: the
// run-time library's gmtime refuses times before 1970 on Windows and shares its buffer.
#pragma once

#include <cstdint>

// A FILETIME counts 100-ns intervals since 1601-01-01 00:00:00 UTC.
constexpr int64_t kFileTimeTicksPerSecond = 10000000;
constexpr int64_t kFileTimeTicksAt1970 = 116444736000000000;

struct CivilTime {
  int64_t year;
  int month;  // 1 to 12
  int day;    // 1 to 31
  int hour, minute, second;
};

// Days since 1970-01-01 of a date, and the date of such a day (after H. Hinnant's
// days_from_civil and civil_from_days).
int64_t DaysFromCivil(int64_t year, int month, int day);
CivilTime CivilFromDays(int64_t days);

int DaysInMonth(int64_t year, int month);

// Seconds since 1970-01-01 00:00:00 UTC (negative before) as a date and time, and back.
CivilTime CivilFromUnixTime(int64_t seconds);
int64_t UnixTimeFromCivil(const CivilTime& time);

// A file time (env.h) is seconds x 10,000,000 + 116444736000000000; these take and give
// the 100-ns intervals since 1970 (negative before).
uint64_t FileTimeFromTicksSince1970(int64_t ticks);
uint64_t FileTimeFromUnixTime(int64_t seconds);
int64_t TicksSince1970Of(uint64_t time);

// A DOS date and time as the same wall-clock reading; 0 for a stamp Windows refuses
// (month 0 or 13, day 0 or past the month's end, hour 24, minute 60, second 60 or 62).
uint64_t FileTimeFromDos(uint16_t date, uint16_t time);
