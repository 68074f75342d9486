// The file version a PE image's version resource states (VS_FIXEDFILEINFO), as Windows
// shows it in the file's properties.
#pragma once

#include <cstddef>
#include <cstdint>

namespace mksetup {

// The four parts of the file version, most significant first. False when the file is no
// PE image or has no readable version resource.
bool FindFileVersion(const uint8_t* data, size_t size, uint16_t version[4]);

}  // namespace mksetup
