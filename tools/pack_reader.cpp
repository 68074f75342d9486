#include "tools/pack_reader.h"

#include "platform/handles.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace mksetup {
namespace {

// A new, empty file in the temporary directory; false when none can be made.
bool MakeTemporaryFile(std::string* path, CCrtFile* file) {
#ifdef _WIN32
  char directory[MAX_PATH + 1];
  char name[MAX_PATH + 1];
  const DWORD length = GetTempPathA(sizeof directory, directory);
  if (length == 0 || length > MAX_PATH || !GetTempFileNameA(directory, "mks", 0, name)) return false;
  *path = name;
  *file = CCrtFile(std::fopen(name, "wb"));
  if (!file->IsValid()) std::remove(name);
  return file->IsValid();
#else
  const char* directory = std::getenv("TMPDIR");
  std::string pattern = std::string(directory && *directory ? directory : "/tmp") + "/mksetup-pack-XXXXXX";
  const int fd = mkstemp(&pattern[0]);
  if (fd < 0) return false;
  *path = pattern;
  *file = CCrtFile(fdopen(fd, "wb"));
  if (!file->IsValid()) {
    close(fd);
    std::remove(pattern.c_str());
  }
  return file->IsValid();
#endif
}

}  // namespace

ReaderView ReadWithSetupReader(const uint8_t* pack, size_t size) {
  ReaderView view;
  std::string path;
  CCrtFile file;
  if (!MakeTemporaryFile(&path, &file)) {
    view.error = std::string("cannot create a temporary file: ") + std::strerror(errno);
    return view;
  }
  const bool written = (size == 0 || std::fwrite(pack, 1, size, file.Get()) == size);
  if (!file.Close() || !written) {
    view.error = "cannot write the temporary pack file " + path;
    std::remove(path.c_str());
    return view;
  }
  {
    // The length is not used for a file source; the setup program passes 0 as well.
    const COpenArchive archive(ArchiveOpen(path.c_str(), 0, ArchiveKindFile));
    if (archive.IsValid()) {
      view.opened = true;
      ArchiveEntry entry{};
      if (ArchiveGetEntry(archive.Get(), -1, &entry) == ArchiveOk) view.count = entry.index;
      for (int32_t i = 0; i < view.count; ++i) {
        ReaderRecord record{};
        record.result = ArchiveGetEntry(archive.Get(), i, &record.entry);
        view.records.push_back(record);
      }
    }
  }
  std::remove(path.c_str());
  return view;
}

}  // namespace mksetup
