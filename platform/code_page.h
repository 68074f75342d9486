// Which bytes of an ANSI code page begin a double-byte character. In the double-byte
// code pages (932 Japanese, 936 Simplified Chinese, 949 Korean, 950 Traditional Chinese)
// a lead byte and the byte behind it are one character, whatever that second byte's
// value: in Shift-JIS it may be 0x5C, the backslash, or 0x7C, the bar.
#pragma once

#include "platform/win32_api.h"

#include <cstddef>

// The lead bytes of `codePage` as Windows has them; none in a single-byte code page.
bool IsLeadByteOfCodePage(UINT codePage, BYTE byte);
// Whether `byte` may follow a lead byte of `codePage` in one character.
bool IsTrailByteOfCodePage(UINT codePage, BYTE byte);
// Whether `codePage` is an ANSI code page of Windows: 874, 1250 to 1258, or one of the
// double-byte ones.
bool IsAnsiCodePage(UINT codePage);

class CCodePage {
 public:
  // The system's ANSI code page, as IsDBCSLeadByte sees it.
  static CCodePage Active() { return CCodePage(0); }
  // A code page given by its number; any but the double-byte ones is single-byte.
  static CCodePage Numbered(UINT number) { return CCodePage(number); }

  bool IsLeadByte(BYTE byte) const {
    return m_number == 0 ? ::IsDBCSLeadByte(byte) != FALSE : IsLeadByteOfCodePage(m_number, byte);
  }
  bool IsTrailByte(BYTE byte) const { return IsTrailByteOfCodePage(Number(), byte); }
  // Whether the code page has double-byte characters at all.
  bool IsDoubleByte() const;
  UINT Number() const { return m_number == 0 ? ::GetACP() : m_number; }
  // The length in bytes of the character at `text[at]`, `text` being `length` bytes long:
  // 2 for a lead byte with a byte behind it, else 1.
  size_t CharLength(const char* text, size_t at, size_t length) const {
    return at + 1 < length && IsLeadByte(BYTE(text[at])) ? 2 : 1;
  }

 private:
  explicit CCodePage(UINT number) : m_number(number) {}
  UINT m_number;  // 0: the active one
};
