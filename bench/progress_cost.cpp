// progress_cost SETUP-FILE DIRECTORY FIGURES-FILE [ROUNDS]: what the progress window costs
// the installation step. Runs the step as the setup program does (the check, the pack file
// with its seal, the unpacking) into an emptied DIRECTORY, round by round, once with no
// progress shown, once with the program's progress window shown from the start (what
// the window costs when it shows), and once with the window as the program uses it
// (shown only once the step has run a second), in rotating order, and writes
// the best and the median time of each to FIGURES-FILE (a GUI program has no console to
// print to). Not a test: asserts nothing about speed.
#include "app/win32/install_progress_dlg.h"
#include "framework/win32/afxwin.h"
#include "payload/embedded_payload.h"
#include "payload/unpack_archive.h"
#include "platform/env.h"

#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

double Now() {
  LARGE_INTEGER frequency, at;
  ::QueryPerformanceFrequency(&frequency);
  ::QueryPerformanceCounter(&at);
  return double(at.QuadPart) / double(frequency.QuadPart);
}

// Deletes the files of `directory` (the step writes no folders for a flat payload).
void Empty(const std::wstring& directory) {
  WIN32_FIND_DATAW found;
  const HANDLE find = ::FindFirstFileW((directory + L"\\*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) ::DeleteFileW((directory + L"\\" + found.cFileName).c_str());
  } while (::FindNextFileW(find, &found));
  ::FindClose(find);
}

// How the step shows its progress.
enum class Shown { kNothing, kAtOnce, kAsUsed };

// One installation step; the seconds it took, or a negative number when it failed.
double Install(const SetupImage& image, const std::wstring& directory, Shown shown) {
  Empty(directory);
  ::CreateDirectoryW(directory.c_str(), nullptr);
  const CStringW pack(directory + L"\\Galvery_pack.zip");
  const double start = Now();
  PayloadLayout layout;
  if (!SetupFileIsWhole(image, &layout)) return -1;
  CInstallProgressDlg dialog(nullptr, pack, CStringW(directory),
                             shown == Shown::kAtOnce ? 0 : CInstallProgressDlg::kShowAfterMs);
  CInstallProgress* progress = nullptr;
  if (shown != Shown::kNothing) {
    dialog.Open();
    progress = &dialog;
  }
  const PayloadExtraction copied = ExtractEmbeddedPayload(image, pack, progress, &layout);
  if (!copied.result || !copied.packFileSaved) return -1;
  ::SetCurrentDirectoryW(directory.c_str());
  std::vector<CStringW> files;
  const int unpacked = UnpackArchive(pack, CStringW(directory), files, progress);
  if (shown != Shown::kNothing) dialog.Close();
  return unpacked == 0 ? Now() - start : -1;
}

double Median(std::vector<double> times) {
  std::sort(times.begin(), times.end());
  const size_t n = times.size();
  return n % 2 ? times[n / 2] : (times[n / 2 - 1] + times[n / 2]) / 2;
}

class CProgressCostApp : public CWinApp {
 public:
  BOOL InitInstance() override {
    int argc = 0;
    wchar_t** const argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    if (!argv || argc < 4) return FALSE;
    const std::wstring setup = argv[1], directory = argv[2], figures = argv[3];
    const int rounds = argc > 4 ? std::max(1, _wtoi(argv[4])) : 5;
    const SetupImage image{setup, CString(Env().FromWide(Env().AnsiCodePage(), setup).c_str())};
    // Nothing shown; the window from the start; the window as the program uses it.
    std::vector<double> times[3];
    bool failed = false;
    for (int round = 0; round < rounds && !failed; ++round) {
      // Rotating which goes first, so that none always meets a warmer cache.
      for (int k = 0; k < 3 && !failed; ++k) {
        const int mode = (round + k) % 3;
        const double took = Install(image, directory, Shown(mode));
        failed = took < 0;
        times[mode].push_back(took);
      }
    }
    FILE* out = _wfopen(figures.c_str(), L"w");
    if (!out) return FALSE;
    if (failed) {
      std::fprintf(out, "failed\n");
    } else {
      const char* const names[3] = {"without", "atonce", "window"};
      std::fprintf(out, "rounds %d\n", rounds);
      for (int mode = 0; mode < 3; ++mode)
        std::fprintf(out, "%s %.4f %.4f\n", names[mode], *std::min_element(times[mode].begin(), times[mode].end()),
                     Median(times[mode]));
    }
    std::fclose(out);
    return FALSE;
  }
};

CProgressCostApp theApp;

}  // namespace
