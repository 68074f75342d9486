// The setup program's own archive reader run over a pack file: what the setup program
// would see when it unpacks. A second opinion beside the byte-level checks, and the
// proof that a signed setup file's pack file, certificate table and all, still opens.
#pragma once

#include "archive/archive_reader.h"
#include "tools/archive_rules.h"
#include "tools/byte_source.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace mksetup {

struct ReaderRecord {
  ArchiveResult result;
  ArchiveEntry entry;  // filled when result is ArchiveOk
};

struct ReaderView {
  bool opened = false;     // ArchiveOpen returned a handle
  int32_t count = 0;       // the entry count it gives
  std::vector<ReaderRecord> records;
  std::string error;       // why the pack file could not even be written, when it could not
};

// Writes the pack file's bytes to a temporary file, opens it with ArchiveOpen as the
// setup program does, asks ArchiveGetEntry for the count and every record, closes the
// handle and removes the file. With `check`, the checked layout of those bytes, the data
// of entries that share no byte with anything else is left out as a hole: the reader
// reads headers only for its records, and a copy of gigabytes would cost as long again.
ReaderView ReadWithSetupReader(const ByteSource& pack, const ArchiveCheck* check);
ReaderView ReadWithSetupReader(const uint8_t* pack, size_t size);

// What the setup program's reader made of the pack file, held against what the bytes
// say (`archive`): the count, and every record's name and sizes. Entries that take a
// size or offset from a ZIP64 extra block are not held against a reader built where
// minizip ignores those blocks (a 64-bit Unix): a warning counts them.
std::vector<Finding> CompareWithReader(const ArchiveCheck& archive, const ReaderView& view);

}  // namespace mksetup
