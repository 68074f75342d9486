// An entry's data, read back from the archive as the setup program will unpack it.
#pragma once

#include "tools/byte_source.h"
#include "tools/zip_layout.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace mksetup {

// Takes the next piece of an entry's data; false stops the reading.
using DataTake = std::function<bool(const uint8_t* data, size_t size)>;

// The entry's data, inflated or copied piece by piece and checked against its size and
// CRC-32 as it goes; each piece goes to `take` when there is one. False with the reason
// in `error` when the data is damaged, cannot be read, or `take` stops it.
bool ReadEntryData(const ByteSource& source, const EntryInfo& entry, const DataTake& take, std::string* error);

// The same over bytes in memory, the data collected in `out`; with `out` null only the
// check runs.
bool ReadEntryData(const uint8_t* data, size_t size, const EntryInfo& entry, std::vector<uint8_t>* out,
                   std::string* error);

}  // namespace mksetup
