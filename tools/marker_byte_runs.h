// Runs of 0x55 bytes long enough to hold the marker, and the fields of the archive they
// lie in. The setup program counts a marker in every such run: one inside the archive
// makes it refuse its own file.
#pragma once

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

// Those runs, each with the fields of `fields` that it touches, and the bytes of it that
// belong to no field.
std::vector<MarkerRun> PlaceMarkerByteRuns(const uint8_t* data, size_t size, const std::vector<Field>& fields);

// Where a run lies, for a message: "entry 'a': CRC-32 (local header), data; ...".
std::string DescribeRun(const MarkerRun& run, const std::vector<EntryInfo>& entries);

}  // namespace mksetup
