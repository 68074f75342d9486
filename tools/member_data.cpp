#include "tools/member_data.h"

#include "platform/handles.h"
#include "tools/host.h"

#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace mksetup {
namespace {

class FileData : public DataReader {
 public:
  FileData(FILE* file, const std::string& path) : file_(file), path_(path) {}
  bool Read(uint8_t* buffer, size_t capacity, size_t* got, std::string* error) override {
    *got = std::fread(buffer, 1, capacity, file_.Get());
    if (*got == capacity || !std::ferror(file_.Get())) return true;
    *error = "cannot read " + path_ + ": " + std::strerror(errno);
    return false;
  }

 private:
  CCrtFile file_;
  std::string path_;
};

class MemoryDataReader : public DataReader {
 public:
  explicit MemoryDataReader(const std::vector<uint8_t>& bytes) : bytes_(bytes) {}
  bool Read(uint8_t* buffer, size_t capacity, size_t* got, std::string*) override {
    *got = std::min(capacity, bytes_.size() - at_);
    if (*got) std::memcpy(buffer, bytes_.data() + at_, *got);
    at_ += *got;
    return true;
  }

 private:
  const std::vector<uint8_t>& bytes_;
  size_t at_ = 0;
};

class ArchivedDataReader : public DataReader {
 public:
  ArchivedDataReader(const ByteSource& source, uint64_t offset, uint64_t size, uint16_t method)
      : source_(source), at_(offset), left_(size), method_(method) {
    if (method_ == 8) started_ = inflateInit2(&z_, -MAX_WBITS) == Z_OK;
  }
  ~ArchivedDataReader() override {
    if (method_ == 8 && started_) inflateEnd(&z_);
  }
  ArchivedDataReader(const ArchivedDataReader&) = delete;
  ArchivedDataReader& operator=(const ArchivedDataReader&) = delete;

  bool Read(uint8_t* buffer, size_t capacity, size_t* got, std::string* error) override {
    *got = 0;
    if (method_ == 0) {
      const size_t n = size_t(left_ < capacity ? left_ : capacity);
      if (n && !source_.Read(at_, buffer, n)) return Fail("its stored data cannot be read", error);
      at_ += n;
      left_ -= n;
      *got = n;
      return true;
    }
    if (!started_) return Fail("zlib cannot start inflating", error);
    z_.next_out = buffer;
    z_.avail_out = uInt(capacity);
    while (z_.avail_out > 0 && !ended_) {
      if (z_.avail_in == 0 && left_ > 0) {
        input_.resize(kPieceSize);
        const size_t n = size_t(left_ < input_.size() ? left_ : input_.size());
        if (!source_.Read(at_, input_.data(), n)) return Fail("its stored data cannot be read", error);
        at_ += n;
        left_ -= n;
        z_.next_in = input_.data();
        z_.avail_in = uInt(n);
      }
      const int status = inflate(&z_, Z_NO_FLUSH);
      if (status == Z_STREAM_END) ended_ = true;
      else if (status == Z_BUF_ERROR && z_.avail_in == 0 && left_ == 0)
        return Fail("its deflated data ends before the stream does", error);
      else if (status != Z_OK && status != Z_BUF_ERROR)
        return Fail("its deflated data is damaged", error);
    }
    *got = capacity - z_.avail_out;
    return true;
  }

 private:
  static bool Fail(const char* why, std::string* error) {
    *error = why;
    return false;
  }

  const ByteSource& source_;
  uint64_t at_, left_;
  uint16_t method_;
  z_stream z_{};
  bool started_ = false, ended_ = false;
  std::vector<uint8_t> input_;
};

}  // namespace

bool OpenFileData(const std::string& path, std::unique_ptr<DataReader>* reader, std::string* error) {
  FILE* file = host::OpenFile(path, "rb");
  if (!file) {
    *error = "cannot open " + path + ": " + std::strerror(errno);
    return false;
  }
  *reader = std::make_unique<FileData>(file, path);
  return true;
}

std::unique_ptr<DataReader> MemoryData(const std::vector<uint8_t>& bytes) {
  return std::make_unique<MemoryDataReader>(bytes);
}

std::unique_ptr<DataReader> ArchivedData(const ByteSource& source, uint64_t offset, uint64_t storedSize,
                                         uint16_t method) {
  return std::make_unique<ArchivedDataReader>(source, offset, storedSize, method);
}

}  // namespace mksetup
