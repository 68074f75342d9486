#include "tools/byte_sink.h"

#include "tools/host.h"

#include <cstring>

namespace mksetup {

bool MemorySink::WriteAt(uint64_t offset, const void* data, size_t n) {
  if (offset > SIZE_MAX - n) return false;
  if (bytes_.size() < offset + n) bytes_.resize(size_t(offset + n));
  if (n) std::memcpy(bytes_.data() + offset, data, n);
  return true;
}

bool MemorySink::SetSize(uint64_t size) {
  if (size > SIZE_MAX) return false;
  bytes_.resize(size_t(size));
  return true;
}

const ByteSource& MemorySink::ReadBack(uint64_t size) {
  source_ = std::make_unique<MemorySource>(bytes_.data(), size_t(size < bytes_.size() ? size : bytes_.size()));
  return *source_;
}

bool FileSink::WriteAt(uint64_t offset, const void* data, size_t n) {
  if (!placed_ || offset != position_) {
    if (!host::SeekFile(file_, base_ + offset)) return false;
    position_ = offset;
    placed_ = true;
  }
  if (n && std::fwrite(data, 1, n, file_) != n) {
    placed_ = false;
    return false;
  }
  position_ += n;
  return true;
}

bool FileSink::SetSize(uint64_t size) {
  placed_ = false;
  return host::TruncateFile(file_, base_ + size);
}

const ByteSource& FileSink::ReadBack(uint64_t size) {
  // Reads move the file: the next write seeks first.
  placed_ = false;
  std::fflush(file_);
  file_source_ = std::make_unique<FileSource>(file_, base_ + size);
  source_ = std::make_unique<SubSource>(*file_source_, base_, size);
  return *source_;
}

}  // namespace mksetup
