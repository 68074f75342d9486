// The marker that announces the archive appended to a setup file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// "UUUUUUUU": eight 0x55 bytes, no terminator in the file. Defined alone in its own
// translation unit so that no compiler can fold a comparison with it into an immediate
// operand: the program image must hold these bytes exactly once, here.
extern const char PayloadMarker[];

// The positions just behind each occurrence of the marker in [data, data + size), in
// order. Occurrences never overlap: after a match the search goes on behind it, after a
// mismatch at the next byte, so sixteen 0x55 bytes are two occurrences, fifteen one.
std::vector<uint32_t> FindMarkerOccurrences(const uint8_t* data, size_t size);

// The same count over bytes that arrive piece by piece, in constant memory: a setup file
// is scanned as it is read. The marker is one byte value repeated, so within a run of
// that byte every eighth one ends an occurrence, wherever the pieces are cut.
class CMarkerScan {
 public:
  CMarkerScan();
  // The next `size` bytes of the file.
  void Feed(const uint8_t* data, size_t size);
  // Occurrences so far.
  uint64_t Count() const { return m_count; }
  // The position just behind the second occurrence, once Count() >= 2.
  uint64_t SecondEnd() const { return m_secondEnd; }
  // Bytes fed so far.
  uint64_t Scanned() const { return m_scanned; }

 private:
  uint8_t m_byte;
  size_t m_length;
  size_t m_run = 0;  // bytes of the marker's value in a row, up to the last one fed
  uint64_t m_count = 0;
  uint64_t m_secondEnd = 0;
  uint64_t m_scanned = 0;
};
