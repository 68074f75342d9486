// Shared by the core's tests, which run natively and under Wine: a scratch directory and
// its files through the C++ library (not through the environment under test), and the
// environment the code under test works in, wrapped to record what it tells the user and
// to inject what Windows does to programs (files held by others, full disks).
#pragma once

#include "framework/afxstr.h"
#include "platform/env.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace testing_support {

// A fresh directory in the system's temporary folder, removed with everything in it at
// the end of the test. Paths are UTF-8 text.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::string& path() const { return path_; }
  // `name` inside the directory, joined with a backslash as the program joins paths.
  std::string Win(const std::string& name) const { return path_ + "\\" + name; }
  // The same joined with a slash, which the file calls of both systems take.
  std::string Posix(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Files and folders by UTF-8 path, either separator.
void WriteBytes(const std::string& path, const std::string& bytes);
std::string ReadBytes(const std::string& path);
bool Exists(const std::string& path);
void MakeDir(const std::string& path);
// The names in a directory, sorted.
std::vector<std::string> ListDir(const std::string& path);
void ChangeDir(const std::string& path);
std::string CurrentDir();
// Seconds since 1970 (test_files_posix.cpp, test_files_windows.cpp).
int64_t ModifiedAt(const std::string& path);
int64_t AccessedAt(const std::string& path);
void SetModifiedAt(const std::string& path, int64_t seconds);
// The read-only attribute, as Windows has it; on Linux no write bits.
void SetReadOnly(const std::string& path, bool readOnly);
// Whether the system itself lets a read-only file be written (Wine run as root does;
// Windows never): a case that needs it refused skips there.
bool SystemWritesReadOnly(const std::string& path);
// A device every write to fails on as on a full disk (Linux's /dev/full, also under
// Wine); empty where there is none.
std::string FullDevice();
// Whether the tests run on Windows (under Wine), where the environment is Win32's.
bool OnWindows();

// Wide text from UTF-8 (the tests' own strings), and back.
CStringW W(const std::string& utf8);
std::string Utf8(const CStringW& wide);
std::string Utf8(const std::wstring& wide);

// The system's environment, as the code under test sees it in a test: messages and
// questions are recorded and answered here, pauses counted instead of slept, the command
// line, module path, code page and desktop set by the test, and files held by other
// programs or on a full disk made so. Paths are compared with either separator.
class CTestEnv : public CEnvWrapper {
 public:
  CTestEnv();

  // ---- what the user sees and answers ----
  std::vector<std::wstring> told;      // every message and question, in order
  std::deque<bool> answers;            // to the questions; No when none is left
  int unansweredQuestions = 0;
  // Called with each message as it is told (the state of the windows then, say).
  std::function<void(const std::wstring&)> onTell;
  // The texts told so far, in UTF-8, each followed by "|".
  std::string Told() const;

  // ---- the process ----
  std::string commandLine = "\"C:\\Setup.exe\"";
  std::wstring modulePath;  // empty: the test's own
  unsigned codePage = 1252;
  unsigned oemCodePage = 437;

  // ---- the clock ----
  uint32_t paused = 0;  // milliseconds of Pause, which does not sleep

  // ---- the desktop ----
  std::wstring desktop;  // empty: the desktop folder cannot be determined
  int32_t shortcutResult = 0;  // what SaveShortcut gives, when not 0 it writes nothing
  struct Shortcut {
    std::string path, target, description;  // UTF-8
  };
  std::vector<Shortcut> shortcuts;

  // ---- other programs and the disk ----
  // Another program holds the file open without sharing for the next `opens` attempts
  // to open it (-1: for ever): they fail with 32; until then it can be neither written,
  // deleted nor replaced.
  void HoldWithoutSharing(const std::string& path, int opens);
  // Another program has the file open, sharing reading only: writing, deleting,
  // renaming or replacing it fails with 32, as on Windows.
  void MarkInUse(const std::string& path);
  int sharingViolations = 0;
  // Whether the file is held or in use, as said above: no file takes its place then (32).
  bool HeldByAnother(const std::wstring& path);
  // Files written from now on take this many bytes in all before the disk is full
  // (112); -1: no limit.
  int64_t diskRoom = -1;
  // Closing a file written from now on fails as on a full disk (112).
  bool failCloses = false;
  // What FreeSpace says of every folder; -1: what the disk says.
  int64_t freeSpace = -1;

  SysError OpenForReading(const std::wstring& path, std::unique_ptr<CReadableFile>* file) override;
  SysError OpenForWriting(const std::wstring& path, CreateMode mode, std::unique_ptr<CWritableFile>* file) override;
  SysError Remove(const std::wstring& path) override;
  SysError FreeSpace(const std::wstring& path, uint64_t* bytes) override {
    if (freeSpace < 0) return CEnvWrapper::FreeSpace(path, bytes);
    *bytes = uint64_t(freeSpace);
    return kSysOk;
  }
  std::wstring ModulePath() override;
  std::string CommandLine() override { return commandLine; }
  unsigned AnsiCodePage() override { return codePage; }
  unsigned OemCodePage() override { return oemCodePage; }
  void Pause(uint32_t milliseconds) override { paused += milliseconds; }
  SysError DesktopFolder(std::wstring* folder) override;
  int32_t SaveShortcut(const std::wstring& shortcut, const std::wstring& target,
                       const std::wstring& description) override;
  void Tell(const std::wstring& text) override;
  bool Ask(const std::wstring& text) override;

 private:
  bool Held(const std::wstring& path, bool opening);
  bool InUse(const std::wstring& path) const;
  std::map<std::wstring, int> held_;
  std::set<std::wstring> inUse_;
};

}  // namespace testing_support
