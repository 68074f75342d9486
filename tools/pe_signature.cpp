#include "tools/pe_signature.h"

#include "archive/zip_format.h"

namespace mksetup {

using zipformat::Get16;
using zipformat::Get32;

bool FindCertificateTable(const uint8_t* data, size_t size, size_t* offset, size_t* length) {
  if (size < 0x40 || data[0] != 'M' || data[1] != 'Z') return false;
  const size_t pe = Get32(data + 0x3C);
  if (pe > size || size - pe < 24 || Get32(data + pe) != 0x00004550) return false;
  const size_t optionalSize = Get16(data + pe + 20);
  const size_t optional = pe + 24;
  if (optionalSize < 2 || size - optional < optionalSize) return false;
  size_t countAt, directoriesAt;
  switch (Get16(data + optional)) {
    case 0x10B: countAt = 92, directoriesAt = 96; break;    // PE32
    case 0x20B: countAt = 108, directoriesAt = 112; break;  // PE32+
    default: return false;
  }
  const size_t security = directoriesAt + 4 * 8;  // the fifth data directory
  if (optionalSize < security + 8 || Get32(data + optional + countAt) < 5) return false;
  const uint32_t at = Get32(data + optional + security), bytes = Get32(data + optional + security + 4);
  if (at == 0 || bytes == 0) return false;
  *offset = at;
  *length = bytes;
  return true;
}

}  // namespace mksetup
