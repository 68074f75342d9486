#include "payload/payload_marker.h"

#include <cstring>

std::vector<uint32_t> FindMarkerOccurrences(const uint8_t* data, size_t size) {
  const size_t markerLength = std::strlen(PayloadMarker);
  const uint8_t* const end = data + size;
  std::vector<uint32_t> found;
  const uint8_t* p = size ? static_cast<const uint8_t*>(std::memchr(data, PayloadMarker[0], size)) : nullptr;
  while (p) {
    const uint8_t* next = p + 1;
    if (size_t(end - p) >= markerLength && std::memcmp(p, PayloadMarker, markerLength) == 0) {
      next = p + markerLength;
      found.push_back(uint32_t(next - data));
    }
    if (next >= end) break;
    p = static_cast<const uint8_t*>(std::memchr(next, PayloadMarker[0], size_t(end - next)));
  }
  return found;
}

CMarkerScan::CMarkerScan() : m_byte(uint8_t(PayloadMarker[0])), m_length(std::strlen(PayloadMarker)) {}

void CMarkerScan::Feed(const uint8_t* data, size_t size) {
  size_t i = 0;
  while (i < size) {
    if (m_run == 0) {
      // Between runs: the C library finds the next candidate far faster than a loop.
      const void* next = std::memchr(data + i, m_byte, size - i);
      if (!next) break;
      i = size_t(static_cast<const uint8_t*>(next) - data);
    }
    for (; i < size && data[i] == m_byte; ++i) {
      if (++m_run % m_length != 0) continue;
      if (++m_count == 2) m_secondEnd = m_scanned + i + 1;
    }
    if (i < size) m_run = 0;  // a byte of another value ends the run
  }
  m_scanned += size;
}
