// archive_probe ARCHIVE DIRECTORY: extracts every entry of ARCHIVE with the archive
// reader, as the unpacking driver does (DIRECTORY current, then open, then record and
// extraction for each index), and prints what Windows then reports, one line each:
//   entry <index> <result> <name>
//   file <name> <size> <crc32> <creation> <access> <write>   (file times in 100-ns ticks)
//   dir <name> <attributes>
// The end-to-end scenario archive_times.sh compares these with the crafted archive.
#include "archive/archive_reader.h"

#include <windows.h>
#include <zlib.h>

#include <cstdio>
#include <string>

namespace {

unsigned long long Ticks(const FILETIME& t) {
  return (unsigned long long)t.dwHighDateTime << 32 | t.dwLowDateTime;
}

// Times first: reading the contents may move the access time.
void PrintFile(const std::string& path, const char* name) {
  HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) {
    std::printf("missing %s %lu\n", name, GetLastError());
    return;
  }
  FILETIME c, a, w;
  GetFileTime(f, &c, &a, &w);
  uLong crc = crc32(0, nullptr, 0);
  unsigned long long size = 0;
  unsigned char buf[16384];
  DWORD got = 0;
  while (ReadFile(f, buf, sizeof buf, &got, nullptr) && got) {
    crc = crc32(crc, buf, got);
    size += got;
  }
  CloseHandle(f);
  std::printf("file %s %llu %lu %llu %llu %llu\n", name, size, (unsigned long)crc, Ticks(c), Ticks(a), Ticks(w));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: archive_probe ARCHIVE DIRECTORY\n");
    return 2;
  }
  // Line by line: a probe that is stopped still shows how far it came.
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  const std::string directory = argv[2];
  SetCurrentDirectoryA(directory.c_str());
  ArchiveHandle h = ArchiveOpen(argv[1], 0, ArchiveKindFile);
  if (!h) {
    std::printf("open failed\n");
    return 1;
  }
  ArchiveEntry e{};
  ArchiveGetEntry(h, -1, &e);
  const int count = e.index;
  for (int i = 0; i < count; ++i) {
    ArchiveResult r = ArchiveGetEntry(h, i, &e);
    if (r == ArchiveOk) r = ArchiveExtractEntry(h, i, e.name, 0, ArchiveKindFile, ArchiveModeDirectory, directory.c_str());
    std::printf("entry %d %#x %s\n", i, unsigned(r), e.name);
    if (r != ArchiveOk) continue;
    if (e.attributes & FILE_ATTRIBUTE_DIRECTORY) {
      std::printf("dir %s %#lx\n", e.name, GetFileAttributesA((directory + "\\" + e.name).c_str()));
    } else {
      const std::string name = e.name;
      const std::string base = name.substr(name.find_last_of("/\\") + 1);
      PrintFile(directory + "\\" + base, base.c_str());
    }
  }
  ArchiveClose(h);
  return 0;
}
