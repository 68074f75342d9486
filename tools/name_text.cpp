#include "tools/name_text.h"

#include "archive/zip_format.h"
#include "platform/utf8.h"
#include "platform/env.h"
#include "tools/text_format.h"

namespace mksetup {
namespace {

// `wide` in code page `codePage`, when every character of it has bytes there that read
// back as that character. Without best fit: Windows would otherwise write "e" for "ё".
bool InCodePage(const std::wstring& wide, unsigned codePage, std::string* bytes) {
  bool lossless = false;
  *bytes = Env().FromWide(codePage, wide, &lossless);
  if (!lossless) return false;
  // A mapping one way only (a table of the C library may have some) would store a name
  // that Windows reads as another.
  bool exact = false;
  return WideFromCodePage(*bytes, codePage, &exact) == wide && exact;
}

uint32_t CodePointOf(const std::wstring& wide) {
  if (wide.size() == 2) return 0x10000 + ((uint32_t(wide[0]) - 0xD800) << 10) + (uint32_t(wide[1]) - 0xDC00);
  return wide.empty() ? 0 : uint32_t(wide[0]);
}

uint32_t UpperCase(uint32_t c) {
  if (c < 0x80) return c >= 'a' && c <= 'z' ? c - 0x20 : c;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 0x20;
  if (c == 0xFF) return 0x178;
  // Latin Extended-A pairs an upper-case letter with the one behind it; U+0131, the
  // dotless i, is left alone.
  if (((c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) && (c & 1) && c != 0x131) return c - 1;
  if (((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) && !(c & 1)) return c - 1;
  if (c == 0x3C2) return 0x3A3;  // final sigma
  if (c >= 0x3B1 && c <= 0x3CB) return c - 0x20;
  if (c == 0x3AC) return 0x386;
  if (c >= 0x3AD && c <= 0x3AF) return c - 0x25;
  if (c == 0x3CC) return 0x38C;
  if (c == 0x3CD || c == 0x3CE) return c - 0x3F;
  if (c >= 0x430 && c <= 0x44F) return c - 0x20;
  if (c >= 0x450 && c <= 0x45F) return c - 0x50;
  if (((c >= 0x460 && c <= 0x481) || (c >= 0x48A && c <= 0x4BF) || (c >= 0x4D0 && c <= 0x52F)) && (c & 1))
    return c - 1;
  if (c >= 0x4C1 && c <= 0x4CE && !(c & 1)) return c - 1;
  if (c == 0x4CF) return 0x4C0;
  if (c >= 0x561 && c <= 0x586) return c - 0x30;  // Armenian
  if (((c >= 0x1E00 && c <= 0x1E95) || (c >= 0x1EA0 && c <= 0x1EFF)) && (c & 1)) return c - 1;
  if (c >= 0xFF41 && c <= 0xFF5A) return c - 0x20;  // full-width Latin
  return c;
}

}  // namespace

bool IsAscii(std::string_view text) {
  for (char c : text)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

bool StoreName(const std::string& text, unsigned codePage, StoredName* stored, std::string* error) {
  if (!IsValidUtf8(text)) {
    *error = "it is not valid UTF-8, which mksetup takes names in";
    return false;
  }
  stored->flags = 0;
  if (IsAscii(text)) {
    stored->bytes = text;
    return true;
  }
  if (codePage == 0) {
    stored->bytes = text;
    stored->flags = zipformat::kUtf8NameFlag;
    return true;
  }
  if (InCodePage(WideFromUtf8(text), codePage, &stored->bytes)) return true;
  // Name the first character the code page lacks.
  std::string ignored;
  for (size_t at = 0; at < text.size();) {
    const unsigned char lead = static_cast<unsigned char>(text[at]);
    const size_t n = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    const std::string character = text.substr(at, n);
    const std::wstring wide = WideFromUtf8(character);
    if (!InCodePage(wide, codePage, &ignored)) {
      *error = Format("code page %u has no character %s (U+%04X)", codePage, Quoted(character).c_str(),
                      unsigned(CodePointOf(wide)));
      return false;
    }
    at += n;
  }
  *error = Format("its characters do not read back from code page %u as they are", codePage);
  return false;
}

std::wstring WideFromCodePage(std::string_view bytes, unsigned codePage, bool* exact) {
  *exact = true;
  // ASCII reads the same in every ANSI code page; most names need no conversion.
  if (IsAscii(bytes)) return std::wstring(bytes.begin(), bytes.end());
  return Env().ToWide(codePage, bytes, exact);
}

unsigned OemCodePageOf(unsigned ansiCodePage) {
  switch (ansiCodePage) {
    case 1250: return 852;
    case 1251: return 866;
    case 1252: return 437;
    case 1253: return 737;
    case 1254: return 857;
    case 1255: return 862;
    case 1256: return 720;
    case 1257: return 775;
    default: return ansiCodePage;
  }
}

std::wstring UpperCased(std::wstring_view name) {
  std::wstring upper;
  upper.reserve(name.size());
  for (wchar_t c : name) upper += wchar_t(UpperCase(uint32_t(c)));
  return upper;
}

size_t Utf16Length(std::wstring_view text) {
  size_t units = 0;
  // Where wchar_t has 32 bits, a character beyond 16 bits is a pair of units to Windows.
  for (wchar_t c : text) units += (uint32_t(c) >> 16) != 0 ? 2 : 1;
  return units;
}

}  // namespace mksetup
