#include "tools/pe_version.h"

#include "archive/zip_format.h"

namespace mksetup {
namespace {

using zipformat::Get16;
using zipformat::Get32;

const uint32_t kResourceTypeVersion = 16;   // RT_VERSION
const uint32_t kFixedInfoSignature = 0xFEEF04BD;
const uint32_t kSubdirectoryBit = 0x80000000;

struct Image {
  const uint8_t* data;
  size_t size;
  size_t sections = 0, sectionCount = 0;

  bool Has(size_t at, size_t bytes) const { return at <= size && size - at >= bytes; }

  // The file offset of a relative virtual address, through the section that maps it.
  bool OffsetOf(uint32_t rva, size_t* offset) const {
    for (size_t i = 0; i < sectionCount; ++i) {
      const size_t at = sections + 40 * i;
      const uint32_t virtualSize = Get32(data + at + 8), address = Get32(data + at + 12);
      const uint32_t rawSize = Get32(data + at + 16), raw = Get32(data + at + 20);
      const uint32_t mapped = virtualSize > rawSize ? rawSize : virtualSize;
      if (rva >= address && rva - address < (mapped ? mapped : rawSize)) {
        *offset = size_t(raw) + (rva - address);
        return *offset < size;
      }
    }
    return false;
  }
};

// The entry of a resource directory at `directory` (an offset into the image) whose id
// is `id`, or its first entry for id 0; its target is relative to the resource section.
bool FindEntry(const Image& image, size_t directory, uint32_t id, uint32_t* target) {
  if (!image.Has(directory, 16)) return false;
  const size_t named = Get16(image.data + directory + 12), numbered = Get16(image.data + directory + 14);
  for (size_t i = 0; i < named + numbered; ++i) {
    const size_t entry = directory + 16 + 8 * i;
    if (!image.Has(entry, 8)) return false;
    const uint32_t name = Get32(image.data + entry);
    if (id == 0 || (!(name & kSubdirectoryBit) && name == id)) {
      *target = Get32(image.data + entry + 4);
      return true;
    }
  }
  return false;
}

}  // namespace

bool FindFileVersion(const uint8_t* data, size_t size, uint16_t version[4]) {
  Image image{data, size};
  if (size < 0x40 || data[0] != 'M' || data[1] != 'Z') return false;
  const size_t pe = Get32(data + 0x3C);
  if (!image.Has(pe, 24) || Get32(data + pe) != 0x00004550) return false;
  image.sectionCount = Get16(data + pe + 6);
  const size_t optionalSize = Get16(data + pe + 20), optional = pe + 24;
  if (optionalSize < 2 || !image.Has(optional, optionalSize)) return false;
  size_t countAt, directoriesAt;
  switch (Get16(data + optional)) {
    case 0x10B: countAt = 92, directoriesAt = 96; break;    // PE32
    case 0x20B: countAt = 108, directoriesAt = 112; break;  // PE32+
    default: return false;
  }
  const size_t resources = directoriesAt + 2 * 8;  // the third data directory
  if (optionalSize < resources + 8 || Get32(data + optional + countAt) < 3) return false;
  image.sections = optional + optionalSize;
  if (!image.Has(image.sections, 40 * image.sectionCount)) return false;

  size_t root;
  if (!image.OffsetOf(Get32(data + optional + resources), &root)) return false;
  // Type, then name, then language: the first of each below the version type.
  uint32_t target = 0;
  if (!FindEntry(image, root, kResourceTypeVersion, &target) || !(target & kSubdirectoryBit)) return false;
  if (!FindEntry(image, root + (target & ~kSubdirectoryBit), 0, &target) || !(target & kSubdirectoryBit))
    return false;
  if (!FindEntry(image, root + (target & ~kSubdirectoryBit), 0, &target) || (target & kSubdirectoryBit))
    return false;
  const size_t dataEntry = root + target;
  size_t info;
  if (!image.Has(dataEntry, 16) || !image.OffsetOf(Get32(data + dataEntry), &info)) return false;
  const size_t infoSize = Get32(data + dataEntry + 4);

  // VS_VERSIONINFO: three 16-bit fields, the key "VS_VERSION_INFO" in UTF-16 with its
  // terminator, padding to 32 bits, then VS_FIXEDFILEINFO.
  static const char kKey[] = "VS_VERSION_INFO";
  const size_t fixed = (6 + 2 * sizeof kKey + 3) & ~size_t(3);
  if (infoSize < fixed + 52 || !image.Has(info, fixed + 52) || Get16(data + info + 2) < 52) return false;
  for (size_t i = 0; i < sizeof kKey; ++i)
    if (Get16(data + info + 6 + 2 * i) != uint16_t(uint8_t(kKey[i]))) return false;
  if (Get32(data + info + fixed) != kFixedInfoSignature) return false;
  const uint32_t high = Get32(data + info + fixed + 8), low = Get32(data + info + fixed + 12);
  version[0] = uint16_t(high >> 16);
  version[1] = uint16_t(high);
  version[2] = uint16_t(low >> 16);
  version[3] = uint16_t(low);
  return true;
}

}  // namespace mksetup
