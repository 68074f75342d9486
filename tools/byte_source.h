// Bytes read by position: an archive or a setup file held in memory, or read from its
// file piece by piece. The checks take the one path for both, so that a setup file of
// gigabytes is checked without being held whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace mksetup {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual uint64_t Size() const = 0;
  // Copies the `n` bytes at `offset` to `out`. False when they do not all lie inside, or
  // the file cannot be read; Failed() tells the second apart.
  virtual bool Read(uint64_t offset, void* out, size_t n) const = 0;
  virtual bool Failed() const { return false; }
};

// `size` bytes in memory, not copied.
class MemorySource : public ByteSource {
 public:
  MemorySource(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  uint64_t Size() const override { return size_; }
  bool Read(uint64_t offset, void* out, size_t n) const override;

 private:
  const uint8_t* data_;
  size_t size_;
};

// `size` bytes of another source from `offset` on: the archive behind a stub.
class SubSource : public ByteSource {
 public:
  SubSource(const ByteSource& whole, uint64_t offset, uint64_t size) : whole_(whole), offset_(offset), size_(size) {}
  uint64_t Size() const override { return size_; }
  bool Read(uint64_t offset, void* out, size_t n) const override;
  bool Failed() const override { return whole_.Failed(); }

 private:
  const ByteSource& whole_;
  uint64_t offset_, size_;
};

// A file opened by host::OpenFile, read through a buffer of its own: the headers of an
// archive are read a few bytes at a time. Owns nothing; bytes written to the file after
// the source was made may not be seen by it.
class FileSource : public ByteSource {
 public:
  FileSource(FILE* file, uint64_t size);
  uint64_t Size() const override { return size_; }
  bool Read(uint64_t offset, void* out, size_t n) const override;
  bool Failed() const override { return failed_; }

 private:
  bool Fill(uint64_t offset) const;

  FILE* file_;
  uint64_t size_;
  mutable std::vector<uint8_t> buffer_;
  mutable uint64_t bufferAt_ = 0;
  mutable size_t buffered_ = 0;
  mutable bool failed_ = false;
};

// The size of the pieces a long stretch of a source is read in: large enough that the
// calls cost nothing beside the work on the bytes, small against the memory bound.
const size_t kPieceSize = size_t(1) << 20;

// Reads `length` bytes of `source` from `offset` in pieces of at most `pieceSize`,
// handing each to `take(data, n)` in order; false when a read fails or `take` says stop.
template <typename Take>
bool ReadInPieces(const ByteSource& source, uint64_t offset, uint64_t length, Take take,
                  size_t pieceSize = kPieceSize) {
  std::vector<uint8_t> piece(size_t(length < pieceSize ? length : pieceSize));
  while (length > 0) {
    const size_t n = size_t(length < piece.size() ? length : piece.size());
    if (!source.Read(offset, piece.data(), n) || !take(piece.data(), n)) return false;
    offset += n;
    length -= n;
  }
  return true;
}

}  // namespace mksetup
