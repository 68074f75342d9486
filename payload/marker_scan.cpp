#include "payload/payload_marker.h"

#include <cstring>

std::vector<DWORD> FindMarkerOccurrences(const BYTE* data, size_t size) {
  const size_t markerLength = std::strlen(PayloadMarker);
  const BYTE* const end = data + size;
  std::vector<DWORD> found;
  const BYTE* p = size ? static_cast<const BYTE*>(std::memchr(data, PayloadMarker[0], size)) : nullptr;
  while (p) {
    const BYTE* next = p + 1;
    if (size_t(end - p) >= markerLength && std::memcmp(p, PayloadMarker, markerLength) == 0) {
      next = p + markerLength;
      found.push_back(DWORD(next - data));
    }
    if (next >= end) break;
    p = static_cast<const BYTE*>(std::memchr(next, PayloadMarker[0], size_t(end - next)));
  }
  return found;
}
