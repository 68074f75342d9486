// Runs of 0x55 bytes long enough to hold the marker, and the fields of the archive they
// lie in. The setup program counts a marker in every such run: one inside the archive
// makes it refuse its own file.
#pragma once

#include "tools/byte_source.h"
#include "tools/zip_layout.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace mksetup {

struct MarkerRun {
  size_t offset;
  size_t length;
  std::vector<Field> fields;  // the fields it touches, in file order
};

// Every maximal run of 0x55 bytes at least as long as the marker: offset and length.
std::vector<std::pair<size_t, size_t>> FindMarkerByteRuns(const uint8_t* data, size_t size);

// The same runs over bytes that arrive piece by piece, wherever the pieces are cut: a
// setup file is scanned as it is read.
class MarkerByteRunScan {
 public:
  // The next `size` bytes.
  void Feed(const uint8_t* data, size_t size);
  // The runs of all the bytes fed; a run that reaches the last byte counts.
  std::vector<std::pair<size_t, size_t>> Finish();

 private:
  uint64_t fed_ = 0;
  uint64_t runStart_ = 0, runLength_ = 0;  // the 0x55 bytes in a row up to the last one fed
  std::vector<std::pair<size_t, size_t>> runs_;
};

// Whether bytes that arrive piece by piece hold such a run, with no record of where: the
// writer asks it of data it may store.
class MarkerRunWatch {
 public:
  void Feed(const uint8_t* data, size_t size);
  bool Seen() const { return seen_; }

 private:
  size_t run_ = 0;  // the 0x55 bytes in a row up to the last one fed
  bool seen_ = false;
};

// The runs of a source, read in pieces; false when it cannot be read.
bool FindMarkerByteRuns(const ByteSource& source, std::vector<std::pair<size_t, size_t>>* runs);

// Those runs, each with the fields of `fields` that it touches, and the bytes of it that
// belong to no field.
std::vector<MarkerRun> PlaceMarkerByteRuns(const std::vector<std::pair<size_t, size_t>>& runs,
                                           const std::vector<Field>& fields);
std::vector<MarkerRun> PlaceMarkerByteRuns(const uint8_t* data, size_t size, const std::vector<Field>& fields);

// Where a run lies, for a message: "entry 'a': CRC-32 (local header), data; ...".
std::string DescribeRun(const MarkerRun& run, const std::vector<EntryInfo>& entries);

}  // namespace mksetup
