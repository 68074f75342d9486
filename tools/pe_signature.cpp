#include "tools/pe_signature.h"

#include "archive/zip_format.h"

#include <algorithm>

namespace mksetup {

using zipformat::Get16;
using zipformat::Get32;

bool FindCertificateTable(const ByteSource& file, size_t* offset, size_t* length) {
  const uint64_t size = file.Size();
  uint8_t dos[0x40];
  if (!file.Read(0, dos, sizeof dos) || dos[0] != 'M' || dos[1] != 'Z') return false;
  const uint64_t pe = Get32(dos + 0x3C);
  uint8_t header[24];
  if (pe > size || size - pe < 24 || !file.Read(pe, header, sizeof header) || Get32(header) != 0x00004550)
    return false;
  const size_t optionalSize = Get16(header + 20);
  const uint64_t optional = pe + 24;
  if (optionalSize < 2 || size - optional < optionalSize) return false;
  // The fields read lie in the first 160 bytes of the optional header.
  uint8_t fields[160] = {};
  if (!file.Read(optional, fields, std::min(optionalSize, sizeof fields))) return false;
  size_t countAt, directoriesAt;
  switch (Get16(fields)) {
    case 0x10B: countAt = 92, directoriesAt = 96; break;    // PE32
    case 0x20B: countAt = 108, directoriesAt = 112; break;  // PE32+
    default: return false;
  }
  const size_t security = directoriesAt + 4 * 8;  // the fifth data directory
  if (optionalSize < security + 8 || Get32(fields + countAt) < 5) return false;
  const uint32_t at = Get32(fields + security), bytes = Get32(fields + security + 4);
  if (at == 0 || bytes == 0) return false;
  *offset = at;
  *length = bytes;
  return true;
}

bool FindCertificateTable(const uint8_t* data, size_t size, size_t* offset, size_t* length) {
  return FindCertificateTable(MemorySource(data, size), offset, length);
}

}  // namespace mksetup
