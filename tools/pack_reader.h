// The setup program's own archive reader run over a pack file: what the setup program
// would see when it unpacks. A second opinion beside the byte-level checks, and the
// proof that a signed setup file's pack file, certificate table and all, still opens.
#pragma once

#include "archive/archive_reader.h"

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

// Writes the `size` bytes to a temporary pack file, opens it with ArchiveOpen as the
// setup program does, asks ArchiveGetEntry for the count and every record, closes the
// handle and removes the file.
ReaderView ReadWithSetupReader(const uint8_t* pack, size_t size);

}  // namespace mksetup
