#include "archive/archive_seal.h"

#include <zlib.h>

#include <algorithm>

static_assert(kSealLength == kSealTag.size() + kSealDigits);

bool ReadSeal(std::string_view comment, uint32_t* crc) {
  if (comment.size() < kSealLength) return false;
  const std::string_view seal = comment.substr(comment.size() - kSealLength);
  if (seal.substr(0, kSealTag.size()) != kSealTag) return false;
  uint32_t value = 0;
  for (const char c : seal.substr(kSealTag.size())) {
    uint32_t digit;
    if (c >= '0' && c <= '9') digit = uint32_t(c - '0');
    else if (c >= 'a' && c <= 'f') digit = uint32_t(c - 'a' + 10);
    else if (c >= 'A' && c <= 'F') digit = uint32_t(c - 'A' + 10);
    else return false;
    value = value << 4 | digit;
  }
  *crc = value;
  return true;
}

std::string SealText(uint32_t crc) {
  static const char kHex[] = "0123456789abcdef";
  std::string text(kSealTag);
  for (int shift = 28; shift >= 0; shift -= 4) text += kHex[(crc >> shift) & 0xF];
  return text;
}

uint32_t ExtendSealCrc(uint32_t crc, const void* data, size_t length) {
  // zlib takes at most a uInt at a time.
  const auto* bytes = static_cast<const Bytef*>(data);
  uLong value = crc;
  while (length > 0) {
    const uInt piece = uInt(std::min<size_t>(length, 1u << 30));
    value = crc32(value, bytes, piece);
    bytes += piece;
    length -= piece;
  }
  return uint32_t(value);
}
