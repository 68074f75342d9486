// The host's whole-file reads and writes, the same on every platform over OpenFile.
#include "tools/host.h"

#include "platform/handles.h"

#include <cerrno>
#include <cstring>

namespace mksetup {
namespace host {

bool ReadFile(const std::string& path, std::vector<uint8_t>& bytes, std::string* error) {
  const CCrtFile f(OpenFile(path, "rb"));
  if (!f.IsValid()) {
    *error = "cannot open " + path + ": " + std::strerror(errno);
    return false;
  }
  bytes.clear();
  uint8_t chunk[65536];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, f.Get())) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
  if (std::ferror(f.Get())) {
    *error = "cannot read " + path + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string* error) {
  CCrtFile f(OpenFile(path, "wb"));
  if (!f.IsValid()) {
    *error = "cannot create " + path + ": " + std::strerror(errno);
    return false;
  }
  bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f.Get()) == bytes.size();
  ok = f.Close() && ok;
  if (!ok) {
    *error = "cannot write " + path + ": " + std::strerror(errno);
    RemoveFile(path);
  }
  return ok;
}

}  // namespace host
}  // namespace mksetup
