// What the program keeps in its own tables, held against Windows' answers (the Windows
// builds only): the lead bytes of the double-byte code pages, and which DOS stamps make
// a file time.
#include "platform/calendar.h"
#include "platform/code_page.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace {

TEST(WindowsTables, LeadBytesAreWindowsOwn) {
  for (unsigned codePage : {932u, 936u, 949u, 950u, 874u, 1250u, 1251u, 1252u, 1253u}) {
    for (int byte = 0; byte < 256; ++byte)
      EXPECT_EQ(IsDBCSLeadByteEx(codePage, BYTE(byte)) != FALSE, IsLeadByteOfCodePage(codePage, uint8_t(byte)))
          << "code page " << codePage << ", byte " << byte;
  }
}

// Wine carries a day past the month's end (29 February 1981) into the next month; the
// program gives such a stamp no time, as it does a month 0 or a day 0.
bool DayPastTheMonthsEnd(unsigned date) {
  const int year = 1980 + int(date >> 9), month = int(date >> 5 & 0x0F), day = int(date & 0x1F);
  return month >= 1 && month <= 12 && day > DaysInMonth(year, month);
}

TEST(WindowsTables, DosStampsMakeTheFileTimesWindowsMakes) {
  // Every date, at times on both sides of each field's limit.
  const WORD times[] = {0x0000, 0x90CF, 0xBF7D, 0xBF7E, 0xBF7F, 0xC000, 0x0F00, 0x0EFD, 0x001E};
  for (unsigned date = 0; date < 0x10000; ++date) {
    if (DayPastTheMonthsEnd(date)) {
      EXPECT_EQ(0u, FileTimeFromDos(uint16_t(date), 0)) << std::hex << "date " << date;
      continue;
    }
    for (const WORD time : times) {
      FILETIME t;
      const uint64_t windows =
          DosDateTimeToFileTime(WORD(date), time, &t) ? uint64_t(t.dwHighDateTime) << 32 | t.dwLowDateTime : 0;
      ASSERT_EQ(windows, FileTimeFromDos(uint16_t(date), time)) << std::hex << "date " << date << ", time " << time;
    }
  }
}

}  // namespace
