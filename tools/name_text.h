// Entry names as text: what mksetup stores for a name it is given, and how stored bytes
// read in an ANSI code page. Code pages are converted by the environment (platform/env.h:
// Windows' own conversions, iconv on Linux), so that both builds of mksetup store the
// same bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace mksetup {

// A name as the archive stores it: its bytes, and the general-purpose flags they need.
struct StoredName {
  std::string bytes;
  uint16_t flags = 0;
};

// What to store for `text`, a name in UTF-8. With `codePage` 0, an ASCII name as it is
// and any other in UTF-8 with the UTF-8 flag, so that it installs under the same name on
// every Windows. With an ANSI code page, the name's bytes in that code page, unflagged.
// False with the reason when `text` is not valid UTF-8, or the code page has no
// character for one of its characters.
bool StoreName(const std::string& text, unsigned codePage, StoredName* stored, std::string* error);

bool IsAscii(std::string_view text);

// `bytes` read as text of an ANSI code page, as Windows reads them. `exact` is false when
// some bytes make no character there: those became U+FFFD.
std::wstring WideFromCodePage(std::string_view bytes, unsigned codePage, bool* exact);

// The OEM code page Windows sets up beside the ANSI code page `ansiCodePage`: 437 beside
// the Western 1252 (as in the United States), 866 beside the Cyrillic 1251; the double-
// byte code pages, 874 and 1258 are their own.
unsigned OemCodePageOf(unsigned ansiCodePage);

// A file name as Windows compares it, without regard to case: every character that has
// one upper-cased by its simple mapping, for the Latin, Greek, Cyrillic and Armenian
// scripts and the full-width Latin letters. No other folding: "ß" stays, and a decomposed
// "é" differs from a composed one, as it does to Windows.
std::wstring UpperCased(std::wstring_view name);

// The length of wide text in UTF-16 units, as Windows counts a path.
size_t Utf16Length(std::wstring_view text);

}  // namespace mksetup
