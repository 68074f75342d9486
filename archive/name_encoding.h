// How an entry's stored name is to be read, decided as the other readers of note decide
// it (Info-ZIP UnZip, 7-Zip, libarchive, Python, .NET): general-purpose bit 11 says the
// name is UTF-8; without it, an Info-ZIP Unicode Path extra field (0x7075, version 1)
// whose CRC-32 matches the stored name gives the name in UTF-8; any other name is bytes
// of the user's ANSI code page, as setup files made for one code page rely on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

enum class NameEncoding {
  kCodePage,          // bytes of the ANSI code page
  kUtf8Flag,          // UTF-8, said by general-purpose bit 11
  kUnicodePathField,  // UTF-8, from a Unicode Path extra field
};

struct DecodedName {
  NameEncoding encoding = NameEncoding::kCodePage;
  // False for a name meant as UTF-8 that is not valid UTF-8: no name may be guessed for it.
  bool valid = true;
  std::string utf8;  // the name, for the two UTF-8 kinds
};

// Decides how `stored` (the name field of the central record, byte for byte) reads, from
// the record's general-purpose flags and its extra field.
DecodedName DecodeEntryName(std::string_view stored, uint16_t flags, const uint8_t* extra, size_t extraLength);
