#include "platform/code_page.h"

#include "platform/env.h"

CCodePage CCodePage::Active() { return CCodePage(Env().AnsiCodePage()); }

bool IsLeadByteOfCodePage(unsigned codePage, uint8_t byte) {
  switch (codePage) {
    case 932: return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
    case 936:
    case 949:
    case 950: return byte >= 0x81 && byte <= 0xFE;
    default: return false;
  }
}

bool IsTrailByteOfCodePage(unsigned codePage, uint8_t byte) {
  switch (codePage) {
    case 932: return (byte >= 0x40 && byte <= 0x7E) || (byte >= 0x80 && byte <= 0xFC);
    case 936: return (byte >= 0x40 && byte <= 0x7E) || (byte >= 0x80 && byte <= 0xFE);
    case 949: return (byte >= 0x41 && byte <= 0x5A) || (byte >= 0x61 && byte <= 0x7A) || (byte >= 0x81 && byte <= 0xFE);
    case 950: return (byte >= 0x40 && byte <= 0x7E) || (byte >= 0xA1 && byte <= 0xFE);
    default: return false;
  }
}

bool IsAnsiCodePage(unsigned codePage) {
  return codePage == 874 || (codePage >= 1250 && codePage <= 1258) || codePage == 932 || codePage == 936 ||
         codePage == 949 || codePage == 950;
}
