// Where an archive is written, by position, and read back: the writer goes back over an
// entry it deflated when storing it is smaller, and the checks read what was written.
#pragma once

#include "tools/byte_source.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

namespace mksetup {

class ByteSink {
 public:
  virtual ~ByteSink() = default;
  // Writes `n` bytes at `offset`; false when they cannot be written.
  virtual bool WriteAt(uint64_t offset, const void* data, size_t n) = 0;
  // Cuts off what lies from `size` on: an archive written again may be shorter.
  virtual bool SetSize(uint64_t size) = 0;
  // The `size` bytes written, to read; valid until the next write.
  virtual const ByteSource& ReadBack(uint64_t size) = 0;
};

class MemorySink : public ByteSink {
 public:
  explicit MemorySink(std::vector<uint8_t>& bytes) : bytes_(bytes) {}
  bool WriteAt(uint64_t offset, const void* data, size_t n) override;
  bool SetSize(uint64_t size) override;
  const ByteSource& ReadBack(uint64_t size) override;

 private:
  std::vector<uint8_t>& bytes_;
  std::unique_ptr<MemorySource> source_;
};

// A file opened by host::OpenFile for writing and reading ("w+b"), its offsets counted
// from `base`: the archive lies behind the stub and the marker. Sequential writes go
// through the C library's buffer without a seek.
class FileSink : public ByteSink {
 public:
  FileSink(FILE* file, uint64_t base) : file_(file), base_(base) {}
  bool WriteAt(uint64_t offset, const void* data, size_t n) override;
  bool SetSize(uint64_t size) override;
  const ByteSource& ReadBack(uint64_t size) override;

 private:
  FILE* file_;
  uint64_t base_;
  uint64_t position_ = 0;
  bool placed_ = false;  // the file stands at position_
  std::unique_ptr<FileSource> file_source_;
  std::unique_ptr<SubSource> source_;
};

}  // namespace mksetup
