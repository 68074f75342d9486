// The fixed parts of the ZIP format that the archive reader and the packager both read:
// signatures, header sizes, little-endian fields, and how far minizip searches.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zipformat {

constexpr uint32_t kLocalSignature = 0x04034B50;
constexpr uint32_t kCentralSignature = 0x02014B50;
constexpr uint32_t kEndSignature = 0x06054B50;
constexpr uint32_t kZip64EndSignature = 0x06064B50;
constexpr uint32_t kZip64LocatorSignature = 0x07064B50;
constexpr uint32_t kDescriptorSignature = 0x08074B50;
constexpr size_t kLocalHeaderSize = 30;
constexpr size_t kCentralHeaderSize = 46;
constexpr size_t kEndRecordSize = 22;
constexpr size_t kZip64LocatorSize = 20;
constexpr size_t kZip64EndRecordSize = 56;  // the part minizip reads, all a writer needs
constexpr uint16_t kZip64Version = 45;      // 4.5, the version that brought ZIP64
constexpr uint16_t kDataDescriptorFlag = 0x0008;  // the sizes and CRC-32 follow the data
constexpr uint16_t kZip64ExtraId = 0x0001;        // ZIP64 extended information
constexpr uint16_t kTimestampExtraId = 0x5455;    // "UT", the extended timestamp
constexpr uint16_t kUtf8NameFlag = 0x0800;        // general-purpose bit 11: the name is UTF-8
constexpr uint16_t kUnicodePathFieldId = 0x7075;  // Info-ZIP Unicode Path extra field
// minizip looks this far back from the end of the file for the end record, and for the
// ZIP64 end record's locator.
constexpr size_t kEndSearchReach = 0xFFFF;

inline uint16_t Get16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
inline uint32_t Get32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline uint64_t Get64(const uint8_t* p) { return uint64_t(Get32(p)) | uint64_t(Get32(p + 4)) << 32; }

}  // namespace zipformat
