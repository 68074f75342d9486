// Opens arbitrary bytes as an archive and does what the unpacking driver does with it:
// reads the entry count and every record, and extracts every entry. Beyond the
// sanitizers' findings, an input fails when anything appears in the scratch tree outside
// the two directories the reader was given (the base directory and the target).
// The fuzzer changes its current directory: give it corpus folders by absolute path.
#include "archive/archive_reader.h"
#include "platform/env.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

namespace fs = std::filesystem;

namespace {

// <root>/in.zip is the input; directory entries go beneath <root>/l1/l2/base (the
// current directory), files into <root>/l1/l2/out. The levels between make an escape
// by one or two ".." visible as well.
fs::path g_root;

// The system's environment without its messages: a creation failure would write one to
// stderr for every entry of every input.
class CQuietEnv : public CEnvWrapper {
 public:
  CQuietEnv() : CEnvWrapper(CEnv::Default()) {}
  void Tell(const std::wstring&) override {}
  bool Ask(const std::wstring&) override { return false; }
};

std::set<std::string> Names(const fs::path& dir) {
  std::set<std::string> names;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(dir, error)) names.insert(entry.path().filename().string());
  return names;
}

// Read-only files and folders are emptied too: the owner may always change the mode.
void Empty(const fs::path& dir) {
  std::error_code error;
  for (auto it = fs::recursive_directory_iterator(dir, error); !error && it != fs::end(it); it.increment(error))
    fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, error);
  for (const std::string& name : Names(dir)) fs::remove_all(dir / name, error);
}

void Expect(const fs::path& dir, const std::set<std::string>& names) {
  if (Names(dir) != names) {
    std::fprintf(stderr, "archive_fuzzer: something was created outside the directories given, in %s\n", dir.c_str());
    std::abort();
  }
}

// The scratch tree goes when the fuzzer ends normally; after a finding it stays.
void RemoveRoot() {
  std::error_code error;
  fs::current_path(g_root.parent_path(), error);
  fs::remove_all(g_root, error);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  static CQuietEnv quiet;
  static CScopedEnv use(&quiet);
  // Memory-backed when the machine has it: each input creates and removes files.
  char pattern[] = "/dev/shm/archive-fuzz.XXXXXX";
  char fallback[] = "/tmp/archive-fuzz.XXXXXX";
  const char* root = mkdtemp(pattern);
  if (!root) root = mkdtemp(fallback);
  if (!root) std::abort();
  g_root = root;
  std::error_code error;
  fs::create_directories(g_root / "l1/l2/base", error);
  fs::create_directories(g_root / "l1/l2/out", error);
  fs::current_path(g_root / "l1/l2/base", error);
  if (error) std::abort();
  std::atexit(RemoveRoot);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string archive = (g_root / "in.zip").string();
  {
    std::ofstream f(archive, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(data), std::streamsize(size));
    if (!f) std::abort();
  }

  const std::string out = (g_root / "l1/l2/out").string();
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
  Expect(g_root / "l1", {"l2"});
  Expect(g_root / "l1/l2", {"base", "out"});
  Empty(g_root / "l1/l2/base");
  Empty(out);
  return 0;
}
