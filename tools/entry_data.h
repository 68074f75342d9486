// An entry's data, read back from the archive as the setup program will unpack it.
#pragma once

#include "tools/zip_layout.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace mksetup {

// The entry's data, inflated or copied, checked against its size and CRC-32. With `out`
// null only the check runs. False with the reason in `error` when the data is damaged.
bool ReadEntryData(const uint8_t* data, size_t size, const EntryInfo& entry, std::vector<uint8_t>* out,
                   std::string* error);

}  // namespace mksetup
