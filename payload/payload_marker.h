// The marker that announces the archive appended to a setup file.
#pragma once

#include "platform/win32_api.h"

#include <cstddef>
#include <vector>

// "UUUUUUUU": eight 0x55 bytes, no terminator in the file. Defined alone in its own
// translation unit so that no compiler can fold a comparison with it into an immediate
// operand: the program image must hold these bytes exactly once, here.
extern const char PayloadMarker[];

// The positions just behind each occurrence of the marker in [data, data + size), in
// order. Occurrences never overlap: after a match the search goes on behind it, after a
// mismatch at the next byte, so sixteen 0x55 bytes are two occurrences, fifteen one.
std::vector<DWORD> FindMarkerOccurrences(const BYTE* data, size_t size);
