// The Authenticode signature of a PE image: where its certificate table lies.
#pragma once

#include "tools/byte_source.h"

#include <cstddef>
#include <cstdint>

namespace mksetup {

// The PE certificate table that the security directory of a PE image names: its offset
// and size. False when the file is no PE image or is unsigned. Only the headers are read.
bool FindCertificateTable(const ByteSource& file, size_t* offset, size_t* length);
bool FindCertificateTable(const uint8_t* data, size_t size, size_t* offset, size_t* length);

}  // namespace mksetup
