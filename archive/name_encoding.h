// How an entry's stored name is to be read, decided as the other readers of note decide
// it (Info-ZIP UnZip, 7-Zip, libarchive, Python, .NET): general-purpose bit 11 says the
// name is UTF-8; without it, an Info-ZIP Unicode Path extra field (0x7075, version 1)
// whose CRC-32 matches the stored name gives the name in UTF-8; without that, a name
// from a DOS, HPFS, NTFS or VFAT host ("version made by") is bytes of the user's OEM
// code page, as Windows' own archivers, 7-Zip and Info-ZIP zip on Windows store it; any
// other name is bytes of the user's ANSI code page, as setup files made for one code
// page rely on (mksetup's names come from a Unix host).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

enum class NameEncoding {
  kCodePage,          // bytes of the ANSI code page
  kUtf8Flag,          // UTF-8, said by general-purpose bit 11
  kUnicodePathField,  // UTF-8, from a Unicode Path extra field
  kOemCodePage,       // bytes of the OEM code page: an unflagged name of a DOS-like host
};

struct DecodedName {
  NameEncoding encoding = NameEncoding::kCodePage;
  // False for a name meant as UTF-8 that is not valid UTF-8: no name may be guessed for it.
  bool valid = true;
  std::string utf8;  // the name, for the two UTF-8 kinds
};

// Whether "version made by" names a host whose names are in the OEM code page: FAT (0),
// HPFS (6), NTFS (10) or VFAT (14).
bool IsOemHost(uint16_t versionMadeBy);

// Decides how `stored` (the name field of the central record, byte for byte) reads, from
// the record's general-purpose flags, "version made by" and its extra field.
DecodedName DecodeEntryName(std::string_view stored, uint16_t flags, uint16_t versionMadeBy, const uint8_t* extra,
                            size_t extraLength);

// The name as the entry is written under, in wide text, read as DecodeEntryName decides:
// the ANSI or OEM code page's characters, or the UTF-8. False for an invalid name.
bool EntryNameAsWide(std::string_view stored, uint16_t flags, uint16_t versionMadeBy, const uint8_t* extra,
                     size_t extraLength, std::wstring* wide, NameEncoding* encoding = nullptr);
