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
    if (m_run == 0 && size - i >= m_length) {
      // Between runs. Only a run as long as the marker counts, and such a run covers the
      // last of the next m_length bytes: that byte alone is looked at, an eighth of them
      // all: under Wine, the C library's search of every byte took four times as long.
      const size_t last = i + m_length - 1;
      if (data[last] != m_byte) {
        i = last + 1;
        continue;
      }
      // Back to where that run starts: not before i, whose byte before ended a run.
      size_t start = last;
      while (start > i && data[start - 1] == m_byte) --start;
      i = start;
    }
    if (data[i] != m_byte) {
      m_run = 0;  // a byte of another value ends the run
      ++i;
      continue;
    }
    for (; i < size && data[i] == m_byte; ++i) {
      if (++m_run % m_length != 0) continue;
      if (++m_count == 2) m_secondEnd = m_scanned + i + 1;
    }
    if (i < size) m_run = 0;
  }
  m_scanned += size;
}
