// Opens arbitrary bytes as an archive and does what the unpacking driver does with it:
// reads the entry count and every record, and extracts every entry. Beyond the
// sanitizers' findings, an input fails when anything appears in the scratch tree outside
// the two directories the reader was given (the base directory and the target).
// The fuzzer changes its current directory: give it corpus folders by absolute path.
#include "archive/archive_reader.h"
#include "platform/posix/standin.h"

#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <ftw.h>
#include <set>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// <root>/in.zip is the input; directory entries go beneath <root>/l1/l2/base (the
// current directory), files into <root>/l1/l2/out. The levels between make an escape
// by one or two ".." visible as well.
std::string g_root;

std::set<std::string> Names(const std::string& dir) {
  std::set<std::string> names;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d))
      if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") names.insert(e->d_name);
    closedir(d);
  }
  return names;
}

int RemoveOne(const char* path, const struct stat*, int, struct FTW*) { return std::remove(path); }

void Empty(const std::string& dir) {
  for (const std::string& name : Names(dir))
    nftw((dir + "/" + name).c_str(), RemoveOne, 16, FTW_DEPTH | FTW_PHYS);
}

void Expect(const std::string& dir, const std::set<std::string>& names) {
  if (Names(dir) != names) {
    std::fprintf(stderr, "archive_fuzzer: something was created outside the directories given, in %s\n", dir.c_str());
    std::abort();
  }
}

// The scratch tree goes when the fuzzer ends normally; after a finding it stays.
void RemoveRoot() { nftw(g_root.c_str(), RemoveOne, 16, FTW_DEPTH | FTW_PHYS); }

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // Memory-backed when the machine has it: each input creates and removes files.
  char pattern[] = "/dev/shm/archive-fuzz.XXXXXX";
  char fallback[] = "/tmp/archive-fuzz.XXXXXX";
  const char* root = mkdtemp(pattern);
  if (!root) root = mkdtemp(fallback);
  if (!root) std::abort();
  g_root = root;
  for (const char* sub : {"/l1", "/l1/l2", "/l1/l2/base", "/l1/l2/out"})
    if (mkdir((g_root + sub).c_str(), 0700) != 0) std::abort();
  if (chdir((g_root + "/l1/l2/base").c_str()) != 0) std::abort();
  std::atexit(RemoveRoot);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string archive = g_root + "/in.zip";
  FILE* f = std::fopen(archive.c_str(), "wb");
  if (!f) std::abort();
  if (size) std::fwrite(data, 1, size, f);
  std::fclose(f);

  // Creation failures show a message box; the stand-in records each one.
  standin::ResetRecords();
  const std::string out = g_root + "/l1/l2/out";
  if (ArchiveHandle h = ArchiveOpen(archive.c_str(), 0, ArchiveKindFile)) {
    ArchiveEntry e{};
    ArchiveGetEntry(h, -1, &e);
    // An end record may claim up to 65,535 entries (billions with ZIP64); past the
    // broken ones every request fails the same way, so a few hundred show it all.
    const int count = e.index < 512 ? e.index : 512;
    for (int i = 0; i < count; ++i)
      if (ArchiveGetEntry(h, i, &e) == ArchiveOk)
        ArchiveExtractEntry(h, i, e.name, 0, ArchiveKindFile, ArchiveModeDirectory, out.c_str());
    ArchiveClose(h);
  }

  Expect(g_root, {"in.zip", "l1"});
  Expect(g_root + "/l1", {"l2"});
  Expect(g_root + "/l1/l2", {"base", "out"});
  Empty(g_root + "/l1/l2/base");
  Empty(out);
  return 0;
}
