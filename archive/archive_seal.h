// The seal of a setup file's archive: a CRC-32 of the archive's bytes, written by the
// packager at the very end of the archive comment, where every zip tool keeps it:
//
//   ... end record, comment length, [the vendor's comment] "seal:crc32:" 8 hex digits
//
// The CRC (zlib's, the one ZIP uses for its entries) covers every byte of the archive from
// its first one up to, not including, the eight digits: the entries, the central
// directory, the end records and the comment up to the tag. The digits are the CRC in
// lowercase hexadecimal, most significant first. Signing appends behind the archive and
// leaves it sealed. An archive whose comment does not end with a seal is not sealed; its
// entries' own CRC-32s remain its check.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

inline constexpr std::string_view kSealTag = "seal:crc32:";
inline constexpr size_t kSealDigits = 8;
inline constexpr size_t kSealLength = 19;  // the tag and the digits

// True when `comment` ends with a seal; its CRC then in `crc`. Digits in either case.
bool ReadSeal(std::string_view comment, uint32_t* crc);

// The tag and the digits of `crc`, to end a comment with.
std::string SealText(uint32_t crc);

// The CRC-32 of `length` more bytes after `crc` (0 to begin), for any length.
uint32_t ExtendSealCrc(uint32_t crc, const void* data, size_t length);
