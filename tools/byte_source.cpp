#include "tools/byte_source.h"

#include "tools/host.h"

#include <cstring>

namespace mksetup {
namespace {

// Headers are read by the tens of bytes: a read-ahead of this much serves a central
// directory's records in one call to the file each.
const size_t kReadAhead = 64 * 1024;

bool Inside(uint64_t offset, size_t n, uint64_t size) { return offset <= size && n <= size - offset; }

}  // namespace

bool MemorySource::Read(uint64_t offset, void* out, size_t n) const {
  if (!Inside(offset, n, size_)) return false;
  if (n) std::memcpy(out, data_ + offset, n);
  return true;
}

bool SubSource::Read(uint64_t offset, void* out, size_t n) const {
  return Inside(offset, n, size_) && whole_.Read(offset_ + offset, out, n);
}

FileSource::FileSource(FILE* file, uint64_t size) : file_(file), size_(size) {}

bool FileSource::Fill(uint64_t offset) const {
  buffer_.resize(kReadAhead);
  const size_t want = size_t(size_ - offset < kReadAhead ? size_ - offset : kReadAhead);
  buffered_ = 0;
  if (!host::SeekFile(file_, offset) || std::fread(buffer_.data(), 1, want, file_) != want) {
    failed_ = true;
    return false;
  }
  bufferAt_ = offset;
  buffered_ = want;
  return true;
}

bool FileSource::Read(uint64_t offset, void* out, size_t n) const {
  if (!Inside(offset, n, size_)) return false;
  uint8_t* to = static_cast<uint8_t*>(out);
  // Long reads go straight to the file; short ones through the read-ahead.
  if (n >= kReadAhead) {
    if (host::SeekFile(file_, offset) && std::fread(to, 1, n, file_) == n) return true;
    failed_ = true;
    return false;
  }
  while (n > 0) {
    if (offset < bufferAt_ || offset >= bufferAt_ + buffered_) {
      if (!Fill(offset)) return false;
    }
    const size_t at = size_t(offset - bufferAt_);
    const size_t take = n < buffered_ - at ? n : buffered_ - at;
    std::memcpy(to, buffer_.data() + at, take);
    to += take;
    offset += take;
    n -= take;
  }
  return true;
}

}  // namespace mksetup
