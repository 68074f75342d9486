// Measures the installation step (the embedded archive copied out of the setup file to
// the pack file, then every entry unpacked into the directory) on generated payloads,
// next to the same step with the setup file read whole into memory first (as the program
// did before it streamed; the reference for speed and memory), and next to `cp` of the
// pack file plus `unzip -o -j -q` on the same archive, all in the same run, round by
// round in turn. Prints wall time (best of the rounds) and peak memory of each; each side
// runs in a child process of its own so that the peak is that side's alone.
//
//   install_bench [--small-files N] [--big-mb N] [--huge-mb N] [--rounds N] [--keep DIR]
#include "payload/embedded_payload.h"
#include "payload/payload_marker.h"
#include "payload/setup_image.h"
#include "payload/unpack_archive.h"
#include "platform/env.h"
#include "platform/utf8.h"

#include <zip.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

// Text-like bytes that deflate about as well as program files and documents do.
std::string MakeData(size_t size, uint32_t seed) {
  static const char* words[] = {"setup ", "install ", "directory ", "archive ", "product ", "file ",
                                "0x55AA ", "\r\n", "license ", "Galvery ", "\x01\x02\x03 ", "data "};
  std::mt19937 rng(seed);
  std::string s;
  s.reserve(size + 16);
  while (s.size() < size) {
    s += words[rng() % 12];
    if (rng() % 7 == 0) s += char('A' + rng() % 26);
  }
  s.resize(size);
  return s;
}

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "install_bench: %s failed\n", what);
    std::exit(1);
  }
}

void WriteArchive(const std::string& path, const std::vector<std::pair<std::string, size_t>>& entries) {
  zipFile zip = zipOpen(path.c_str(), APPEND_STATUS_CREATE);
  Check(zip != nullptr, "zipOpen");
  uint32_t seed = 1;
  for (const auto& e : entries) {
    const std::string data = MakeData(e.second, seed++);
    zip_fileinfo info{};
    info.tmz_date = {0, 0, 12, 1, 0, 2020};
    Check(zipOpenNewFileInZip(zip, e.first.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED, 6) == ZIP_OK &&
              zipWriteInFileInZip(zip, data.data(), unsigned(data.size())) == ZIP_OK && zipCloseFileInZip(zip) == ZIP_OK,
          "writing the archive");
  }
  Check(zipClose(zip, nullptr) == ZIP_OK, "zipClose");
}

// Entries of random bytes, stored: an installer of media or of compressed data. Written
// a megabyte at a time, so the benchmark itself stays small.
void WriteStoredArchive(const std::string& path, const std::vector<std::pair<std::string, size_t>>& entries) {
  zipFile zip = zipOpen(path.c_str(), APPEND_STATUS_CREATE);
  Check(zip != nullptr, "zipOpen");
  std::mt19937_64 rng(11);
  std::vector<uint64_t> chunk(1 << 17);
  for (const auto& e : entries) {
    zip_fileinfo info{};
    info.tmz_date = {0, 0, 12, 1, 0, 2020};
    Check(zipOpenNewFileInZip(zip, e.first.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, 0, 0) == ZIP_OK,
          "zipOpenNewFileInZip");
    for (size_t left = e.second; left > 0;) {
      for (uint64_t& word : chunk) word = rng();
      const size_t n = std::min(left, chunk.size() * sizeof chunk[0]);
      Check(zipWriteInFileInZip(zip, chunk.data(), unsigned(n)) == ZIP_OK, "zipWriteInFileInZip");
      left -= n;
    }
    Check(zipCloseFileInZip(zip) == ZIP_OK, "zipCloseFileInZip");
  }
  Check(zipClose(zip, nullptr) == ZIP_OK, "zipClose");
}

// A setup file: a stand-in image holding the marker once, the marker, the archive.
void WriteSetupFile(const std::string& path, const std::string& archive) {
  const std::string cmd = "{ printf 'MZ stub UUUUUUUU end of stub'; printf UUUUUUUU; cat '" + archive + "'; } > '" + path + "'";
  Check(std::system(cmd.c_str()) == 0, "writing the setup file");
}

struct Figures {
  double seconds;
  long peakKiB;
};

// Runs `work` in a child process; its wall time and peak resident memory.
template <class Work>
Figures InChild(Work work) {
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  Check(pid >= 0, "fork");
  if (pid == 0) _exit(work() ? 0 : 1);
  int status = 0;
  struct rusage usage;
  Check(wait4(pid, &status, 0, &usage) == pid, "wait4");
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  Check(WIFEXITED(status) && WEXITSTATUS(status) == 0, "the measured step");
  return {seconds, usage.ru_maxrss};
}

// The system's environment, in which the setup file is the running program.
class CStartedFrom : public CEnvWrapper {
 public:
  explicit CStartedFrom(const std::string& setupFile)
      : CEnvWrapper(CEnv::Default()), m_module(WideFromUtf8(setupFile)) {}
  std::wstring ModulePath() override { return m_module; }

 private:
  std::wstring m_module;
};

// The installation step as the program runs it: the setup file is the running program.
bool InstallStep(const std::string& setupFile, const std::string& directory) {
  CStartedFrom env(setupFile);
  CScopedEnv use(&env);
  const CStringW pack = WideFromUtf8(directory + "\\pack.zip");
  if (!ExtractEmbeddedPayload(LocateSetupImage(), pack).result) return false;
  std::vector<CStringW> files;
  return UnpackArchive(pack, WideFromUtf8(directory), files) == 0;
}

// The reference: the setup file read whole into one zero-filled buffer, scanned there,
// and the archive written in one write, then unpacked the same way.
bool WholeFileStep(const std::string& setupFile, const std::string& directory) {
  struct stat st;
  if (stat(setupFile.c_str(), &st) != 0) return false;
  uint8_t* data = static_cast<uint8_t*>(std::calloc(size_t(st.st_size), 1));
  if (!data) return false;
  FILE* in = std::fopen(setupFile.c_str(), "rb");
  const bool read = in && std::fread(data, 1, size_t(st.st_size), in) == size_t(st.st_size);
  if (in) std::fclose(in);
  const std::vector<uint32_t> found = FindMarkerOccurrences(data, size_t(st.st_size));
  const CStringW pack = WideFromUtf8(directory + "\\pack.zip");
  bool saved = false;
  if (read && found.size() == 2) {
    std::unique_ptr<CWritableFile> out;
    const size_t length = size_t(st.st_size) - found[1];
    saved = Env().OpenForWriting(pack.Str(), CreateMode::kAlways, &out) == kSysOk &&
            out->Write(data + found[1], length) == kSysOk && out->Close() == kSysOk;
  }
  std::free(data);
  std::vector<CStringW> files;
  return saved && UnpackArchive(pack, WideFromUtf8(directory), files) == 0;
}

bool CpAndUnzip(const std::string& archive, const std::string& directory) {
  const std::string cmd = "cp '" + archive + "' '" + directory + "/pack.zip' && unzip -o -j -q '" + directory +
                          "/pack.zip' -d '" + directory + "'";
  // exec through the shell, so the peak is that of cp and unzip, not of this program.
  execl("/bin/sh", "sh", "-c", cmd.c_str(), static_cast<char*>(nullptr));
  return false;
}

void Measure(const char* label, const std::string& work, int rounds) {
  const std::string archive = work + "/payload.zip", setup = work + "/SetupGalvery.exe";
  struct stat st;
  Check(stat(setup.c_str(), &st) == 0, "stat");
  const char* names[] = {"installation step", "the same, file read whole", "cp + unzip -o -j -q"};
  Figures best[3] = {{1e9, 0}, {1e9, 0}, {1e9, 0}};
  for (int r = 0; r < rounds; ++r) {
    for (int side = 0; side < 3; ++side) {
      const std::string dir = work + "/side" + std::to_string(side);
      std::system(("rm -rf '" + dir + "' && mkdir -p '" + dir + "' && sync").c_str());
      const Figures f = side == 0   ? InChild([&] { return InstallStep(setup, dir); })
                        : side == 1 ? InChild([&] { return WholeFileStep(setup, dir); })
                                    : InChild([&] { return CpAndUnzip(archive, dir); });
      if (f.seconds < best[side].seconds) best[side].seconds = f.seconds;
      if (f.peakKiB > best[side].peakKiB) best[side].peakKiB = f.peakKiB;
    }
  }
  std::system(("rm -rf '" + work + "'/side*").c_str());
  std::printf("%-28s setup file %8.1f MiB\n", label, double(st.st_size) / 1048576.0);
  for (int side = 0; side < 3; ++side)
    std::printf("  %-28s %8.3f s   peak %8.1f MiB\n", names[side], best[side].seconds, best[side].peakKiB / 1024.0);
  std::printf("  %-28s %8.2f\n", "time ratio (step / whole)", best[0].seconds / best[1].seconds);
  std::printf("  %-28s %8.2f\n", "time ratio (step / cp+unzip)", best[0].seconds / best[2].seconds);
}

}  // namespace

int main(int argc, char** argv) {
  int smallFiles = 5000, bigMiB = 150, hugeMiB = 1024, rounds = 3;
  std::string keep;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (!std::strcmp(argv[i], "--small-files")) smallFiles = std::atoi(argv[i + 1]);
    else if (!std::strcmp(argv[i], "--big-mb")) bigMiB = std::atoi(argv[i + 1]);
    else if (!std::strcmp(argv[i], "--huge-mb")) hugeMiB = std::atoi(argv[i + 1]);
    else if (!std::strcmp(argv[i], "--rounds")) rounds = std::atoi(argv[i + 1]);
    else if (!std::strcmp(argv[i], "--keep")) keep = argv[i + 1];
  }
  char pattern[] = "/tmp/install-bench.XXXXXX";
  const std::string root = keep.empty() ? std::string(mkdtemp(pattern)) : keep;
  std::system(("mkdir -p '" + root + "/large' '" + root + "/small' '" + root + "/huge'").c_str());

  WriteArchive(root + "/large/payload.zip", {{"d:/Big/RELEASE/Big.EXE", size_t(bigMiB) << 20},
                                             {"d:/Big/DATA/Big.DAT", (size_t(bigMiB) << 20) / 5}});
  WriteSetupFile(root + "/large/SetupGalvery.exe", root + "/large/payload.zip");
  std::vector<std::pair<std::string, size_t>> small;
  std::mt19937 rng(7);
  for (int i = 0; i < smallFiles; ++i)
    small.emplace_back("d:/Small/files/file" + std::to_string(i) + ".txt", 512 + rng() % 8192);
  WriteArchive(root + "/small/payload.zip", small);
  WriteSetupFile(root + "/small/SetupGalvery.exe", root + "/small/payload.zip");

  const size_t hugeBytes = size_t(hugeMiB) << 20;
  WriteStoredArchive(root + "/huge/payload.zip", {{"d:/Huge/DATA/media1.bin", hugeBytes / 2},
                                                  {"d:/Huge/DATA/media2.bin", hugeBytes - hugeBytes / 2}});
  WriteSetupFile(root + "/huge/SetupGalvery.exe", root + "/huge/payload.zip");

  std::printf("best of %d rounds each\n", rounds);
  Measure("two huge stored entries", root + "/huge", rounds);
  Measure("two large deflated entries", root + "/large", rounds);
  Measure((std::to_string(smallFiles) + " small files").c_str(), root + "/small", rounds);
  if (keep.empty()) std::system(("rm -rf '" + root + "'").c_str());
  return 0;
}
