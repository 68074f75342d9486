// What the setup file's own structure says of the archive behind its marker, read before
// anything is written: its tail (the end record, or the ZIP64 one, where the archive ends,
// with only an Authenticode certificate table allowed behind it) and its central
// directory (inside the archive, holding the records its end record counts, each local
// header inside the archive). It costs a few reads, whatever the archive's size, and
// judges the archive as the reader will read it. A download cut short ends nowhere near
// its end record and fails here; a flipped bit in an entry's data does not, and is left
// to the seal and the entries' CRC-32s.
#pragma once

#include "platform/env.h"

#include <cstdint>
#include <string_view>

struct PayloadLayout {
  uint64_t fileSize = 0;
  uint64_t archiveStart = 0;   // the file position behind the second marker
  uint64_t archiveEnd = 0;     // behind the end record's comment
  uint64_t entries = 0;        // the records of the central directory
  uint64_t unpackedBytes = 0;  // the sizes they declare, together
  bool sealed = false;         // the comment ends with a seal
  uint32_t sealCrc = 0;
  uint64_t sealDigitsAt = 0;   // the file position of the seal's digits: the CRC covers
                               // archiveStart up to here
};

// One central record, as the reader will see it.
struct PayloadEntry {
  std::string_view storedName;
  std::string_view extra;
  uint16_t flags;
  uint16_t versionMadeBy;
  uint64_t size;  // uncompressed
};
using PayloadEntryVisitor = void (*)(void* context, const PayloadEntry& entry);

enum class PayloadVerdict {
  kWhole,       // the structure holds
  kNoPayload,   // the marker does not occur twice: no archive to judge
  kDamaged,     // cut short, or damaged in its structure
  kUnreadable,  // a read failed; `error` says why
};

// Reads `file` (a setup file) from its start. `visit`, when given, sees the central
// records in order as they are read; what it gathers counts only for kWhole.
PayloadVerdict ReadPayloadLayout(CReadableFile& file, PayloadLayout* layout, SysError* error,
                                 PayloadEntryVisitor visit = nullptr, void* context = nullptr);
