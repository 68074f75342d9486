// Measures the installation step (the embedded archive copied out of the setup file to
// the pack file, then every entry unpacked into the directory) on generated payloads,
// next to `cp` of the pack file plus `unzip -o -j -q` on the same archive, in the same
// run. Prints wall time and peak memory of each; each side runs in a child process of
// its own so that the peak is that side's alone.
//
//   install_bench [--small-files N] [--big-mb N] [--rounds N] [--keep DIR]
#include "app/setup_app.h"
#include "app/setup_dlg.h"
#include "payload/unpack_archive.h"

#include <zip.h>

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

class Dlg : public CSetupDlg {
 public:
  using CSetupDlg::m_strSetupFile;
};

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

bool InstallStep(const std::string& setupFile, const std::string& directory) {
  CSetupApp app;
  Dlg dlg;
  dlg.m_strSetupFile = setupFile.c_str();
  const CString pack = (directory + "\\pack.zip").c_str();
  if (!dlg.ExtractEmbeddedPayload(pack)) return false;
  CStringList files;
  return UnpackArchive(pack, directory.c_str(), files) == 0;
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
  Figures best[2] = {{1e9, 0}, {1e9, 0}};
  for (int r = 0; r < rounds; ++r) {
    for (int side = 0; side < 2; ++side) {
      const std::string dir = work + (side ? "/unzip" : "/setup");
      std::system(("rm -rf '" + dir + "' && mkdir -p '" + dir + "' && sync").c_str());
      const Figures f = side ? InChild([&] { return CpAndUnzip(archive, dir); })
                             : InChild([&] { return InstallStep(setup, dir); });
      if (f.seconds < best[side].seconds) best[side].seconds = f.seconds;
      if (f.peakKiB > best[side].peakKiB) best[side].peakKiB = f.peakKiB;
    }
  }
  const double setupMiB = double(st.st_size) / 1048576.0;
  std::printf("%-28s setup file %8.1f MiB\n", label, setupMiB);
  std::printf("  %-26s %8.3f s   peak %8.1f MiB   (limit %.1f MiB)\n", "installation step", best[0].seconds,
              best[0].peakKiB / 1024.0, setupMiB + 16.0);
  std::printf("  %-26s %8.3f s   peak %8.1f MiB\n", "cp + unzip -o -j -q", best[1].seconds, best[1].peakKiB / 1024.0);
  std::printf("  %-26s %8.2f\n", "time ratio (step / pair)", best[0].seconds / best[1].seconds);
}

}  // namespace

int main(int argc, char** argv) {
  int smallFiles = 5000, bigMiB = 150, rounds = 3;
  std::string keep;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (!std::strcmp(argv[i], "--small-files")) smallFiles = std::atoi(argv[i + 1]);
    else if (!std::strcmp(argv[i], "--big-mb")) bigMiB = std::atoi(argv[i + 1]);
    else if (!std::strcmp(argv[i], "--rounds")) rounds = std::atoi(argv[i + 1]);
    else if (!std::strcmp(argv[i], "--keep")) keep = argv[i + 1];
  }
  char pattern[] = "/tmp/install-bench.XXXXXX";
  const std::string root = keep.empty() ? std::string(mkdtemp(pattern)) : keep;
  std::system(("mkdir -p '" + root + "/large' '" + root + "/small'").c_str());

  WriteArchive(root + "/large/payload.zip", {{"d:/Big/RELEASE/Big.EXE", size_t(bigMiB) << 20},
                                             {"d:/Big/DATA/Big.DAT", (size_t(bigMiB) << 20) / 5}});
  WriteSetupFile(root + "/large/SetupGalvery.exe", root + "/large/payload.zip");
  std::vector<std::pair<std::string, size_t>> small;
  std::mt19937 rng(7);
  for (int i = 0; i < smallFiles; ++i)
    small.emplace_back("d:/Small/files/file" + std::to_string(i) + ".txt", 512 + rng() % 8192);
  WriteArchive(root + "/small/payload.zip", small);
  WriteSetupFile(root + "/small/SetupGalvery.exe", root + "/small/payload.zip");

  std::printf("best of %d rounds each\n", rounds);
  Measure("two large deflated entries", root + "/large", rounds);
  Measure((std::to_string(smallFiles) + " small files").c_str(), root + "/small", rounds);
  if (keep.empty()) std::system(("rm -rf '" + root + "'").c_str());
  return 0;
}
