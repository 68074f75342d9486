// Which bytes of an ANSI code page begin a double-byte character. In the double-byte
// code pages (932 Japanese, 936 Simplified Chinese, 949 Korean, 950 Traditional Chinese)
// a lead byte and the byte behind it are one character, whatever that second byte's
// value: in Shift-JIS it may be 0x5C, the backslash, or 0x7C, the bar.
#pragma once

#include <cstddef>
#include <cstdint>

// The lead bytes of `codePage` as Windows has them; none in a single-byte code page.
bool IsLeadByteOfCodePage(unsigned codePage, uint8_t byte);
// Whether `byte` may follow a lead byte of `codePage` in one character.
bool IsTrailByteOfCodePage(unsigned codePage, uint8_t byte);
// Whether `codePage` is an ANSI code page of Windows: 874, 1250 to 1258, or one of the
// double-byte ones.
bool IsAnsiCodePage(unsigned codePage);

class CCodePage {
 public:
  // The ANSI code page of the environment the program works in (env.h).
  static CCodePage Active();
  // A code page given by its number; any but the double-byte ones is single-byte.
  static CCodePage Numbered(unsigned number) { return CCodePage(number); }

  bool IsLeadByte(uint8_t byte) const { return IsLeadByteOfCodePage(m_number, byte); }
  bool IsTrailByte(uint8_t byte) const { return IsTrailByteOfCodePage(m_number, byte); }
  // Whether the code page has double-byte characters at all.
  bool IsDoubleByte() const { return IsLeadByte(0x81); }
  unsigned Number() const { return m_number; }
  // The length in bytes of the character at `text[at]`, `text` being `length` bytes long:
  // 2 for a lead byte with a byte behind it, else 1.
  size_t CharLength(const char* text, size_t at, size_t length) const {
    return at + 1 < length && IsLeadByte(uint8_t(text[at])) ? 2 : 1;
  }

 private:
  explicit CCodePage(unsigned number) : m_number(number) {}
  unsigned m_number;
};
