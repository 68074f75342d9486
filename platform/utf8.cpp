#include "platform/utf8.h"

#include <cstddef>
#include <cstdint>

namespace {

// The code point of the UTF-8 sequence at text[at], its length in `n`; false when no
// valid sequence starts there.
bool DecodeOne(std::string_view text, size_t at, uint32_t* code, size_t* n) {
  const auto byte = [&](size_t i) { return uint8_t(text[i]); };
  const uint8_t lead = byte(at);
  if (lead < 0x80) {
    *code = lead;
    *n = 1;
    return true;
  }
  uint32_t min;
  if (lead >= 0xC2 && lead <= 0xDF) *n = 2, min = 0x80, *code = lead & 0x1F;
  else if (lead >= 0xE0 && lead <= 0xEF) *n = 3, min = 0x800, *code = lead & 0x0F;
  else if (lead >= 0xF0 && lead <= 0xF4) *n = 4, min = 0x10000, *code = lead & 0x07;
  else return false;
  if (at + *n > text.size()) return false;
  for (size_t i = 1; i < *n; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return false;
    *code = *code << 6 | (byte(at + i) & 0x3F);
  }
  return *code >= min && *code <= 0x10FFFF && !(*code >= 0xD800 && *code <= 0xDFFF);
}

}  // namespace

bool IsValidUtf8(std::string_view text) {
  uint32_t code;
  size_t n;
  for (size_t at = 0; at < text.size(); at += n)
    if (!DecodeOne(text, at, &code, &n)) return false;
  return true;
}

std::wstring WideFromUtf8(std::string_view utf8) {
  std::wstring wide;
  uint32_t code;
  size_t n;
  for (size_t at = 0; at < utf8.size(); at += n) {
    if (!DecodeOne(utf8, at, &code, &n)) {
      code = 0xFFFD;
      n = 1;
    }
    if (sizeof(wchar_t) == 2 && code >= 0x10000) {
      wide += wchar_t(0xD800 + ((code - 0x10000) >> 10));
      wide += wchar_t(0xDC00 + ((code - 0x10000) & 0x3FF));
    } else {
      wide += wchar_t(code);
    }
  }
  return wide;
}

std::string Utf8FromWide(std::wstring_view wide) {
  std::string out;
  for (size_t i = 0; i < wide.size(); ++i) {
    uint32_t code = uint32_t(wide[i]);
    if (sizeof(wchar_t) == 2 && code >= 0xD800 && code <= 0xDBFF && i + 1 < wide.size() &&
        uint32_t(wide[i + 1]) >= 0xDC00 && uint32_t(wide[i + 1]) <= 0xDFFF) {
      code = 0x10000 + ((code - 0xD800) << 10) + (uint32_t(wide[++i]) - 0xDC00);
    } else if ((code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) {
      code = 0xFFFD;
    }
    if (code < 0x80) {
      out += char(code);
    } else if (code < 0x800) {
      out += char(0xC0 | code >> 6);
      out += char(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      out += char(0xE0 | code >> 12);
      out += char(0x80 | (code >> 6 & 0x3F));
      out += char(0x80 | (code & 0x3F));
    } else {
      out += char(0xF0 | code >> 18);
      out += char(0x80 | (code >> 12 & 0x3F));
      out += char(0x80 | (code >> 6 & 0x3F));
      out += char(0x80 | (code & 0x3F));
    }
  }
  return out;
}
