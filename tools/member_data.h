// The data of an entry to be written, read piece by piece from where it lies: a file, bytes
// in memory, or an entry of an existing archive, inflated. Read again from the start by
// making another reader: the writer reads a file twice when it stores what it deflated.
#pragma once

#include "tools/byte_source.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace mksetup {

class DataReader {
 public:
  virtual ~DataReader() = default;
  // Up to `capacity` next bytes into `buffer`, their count in `*got`: 0 at the end, and
  // fewer than asked only there. False with the reason in `error` when reading fails.
  virtual bool Read(uint8_t* buffer, size_t capacity, size_t* got, std::string* error) = 0;
};

// A file's data, opened now; false with the reason when it cannot be opened.
bool OpenFileData(const std::string& path, std::unique_ptr<DataReader>* reader, std::string* error);

// Bytes in memory, not copied.
std::unique_ptr<DataReader> MemoryData(const std::vector<uint8_t>& bytes);

// The data of an entry of an archive in `source`: `storedSize` bytes at `offset` as stored
// with `method` (0 stored, 8 deflated), inflated as they are read.
std::unique_ptr<DataReader> ArchivedData(const ByteSource& source, uint64_t offset, uint64_t storedSize,
                                         uint16_t method);

}  // namespace mksetup
