#include "platform/code_page.h"

bool IsLeadByteOfCodePage(UINT codePage, BYTE byte) {
  switch (codePage) {
    case 932: return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
    case 936:
    case 949:
    case 950: return byte >= 0x81 && byte <= 0xFE;
    default: return false;
  }
}

bool CCodePage::IsDoubleByte() const {
  // Every double-byte code page has 0x81 among its lead bytes.
  return IsLeadByte(0x81);
}
