#include "tests/unit/test_support.h"

#include "platform/utf8.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace testing_support {
namespace {

fs::path PathOf(const std::string& utf8) {
  std::string p = utf8;
  std::replace(p.begin(), p.end(), '\\', '/');
  return fs::u8path(p);
}

// Paths as the program writes them and as tests give them name the same file.
std::wstring Key(const std::wstring& path) {
  std::wstring k = path;
  std::replace(k.begin(), k.end(), L'/', L'\\');
  return k;
}

// A file written while the disk has `room` bytes left (-1: as many as it takes), whose
// close fails as on a full disk if `failClose`, and which cannot take the place of a
// file another program holds.
class CLimitedFile : public CWritableFile {
 public:
  CLimitedFile(std::unique_ptr<CWritableFile> file, CTestEnv* env, int64_t* room, bool failClose)
      : file_(std::move(file)), env_(env), room_(room), failClose_(failClose) {}
  SysError Write(const void* data, size_t count) override {
    if (*room_ >= 0 && int64_t(count) > *room_) {
      const size_t fits = size_t(*room_);
      *room_ = 0;
      if (fits) file_->Write(data, fits);
      return kSysDiskFull;
    }
    if (*room_ >= 0) *room_ -= int64_t(count);
    return file_->Write(data, count);
  }
  SysError SetTimes(FileTime creation, FileTime access, FileTime write) override {
    return file_->SetTimes(creation, access, write);
  }
  SysError Close() override {
    const SysError closed = file_->Close();
    return failClose_ ? kSysDiskFull : closed;
  }
  SysError CloseInPlaceOf(const std::wstring& target, bool* atClose) override {
    *atClose = failClose_;
    if (failClose_ || env_->HeldByAnother(target)) {
      file_->Close();
      return failClose_ ? kSysDiskFull : kSysSharingViolation;
    }
    return file_->CloseInPlaceOf(target, atClose);
  }

 private:
  std::unique_ptr<CWritableFile> file_;
  CTestEnv* env_;
  int64_t* room_;
  bool failClose_;
};

}  // namespace

ScratchDir::ScratchDir() {
  std::mt19937_64 random(uint64_t(std::chrono::steady_clock::now().time_since_epoch().count()) ^ uint64_t(this));
  const fs::path base = fs::temp_directory_path();
  for (int tries = 0; tries < 100; ++tries) {
    const fs::path candidate = base / ("setup-test." + std::to_string(random() % 1000000000));
    std::error_code error;
    if (fs::create_directory(candidate, error)) {
      path_ = candidate.u8string();
      if (!path_.empty() && (path_.back() == '/' || path_.back() == '\\')) path_.pop_back();
      return;
    }
  }
  throw std::runtime_error("cannot make a scratch directory in " + base.u8string());
}

ScratchDir::~ScratchDir() {
  std::error_code error;
  // Read-only files first lose that attribute: Windows would not delete them.
  for (auto it = fs::recursive_directory_iterator(PathOf(path_), error); !error && it != fs::end(it); it.increment(error))
    fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, error);
  fs::current_path(fs::temp_directory_path(), error);
  fs::remove_all(PathOf(path_), error);
  if (error) std::fprintf(stderr, "could not remove %s: %s\n", path_.c_str(), error.message().c_str());
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(PathOf(path), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), std::streamsize(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(PathOf(path), std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

bool Exists(const std::string& path) {
  std::error_code error;
  return fs::exists(fs::symlink_status(PathOf(path), error));
}

void MakeDir(const std::string& path) {
  if (!fs::create_directory(PathOf(path))) throw std::runtime_error("cannot make " + path);
}

std::vector<std::string> ListDir(const std::string& path) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(PathOf(path), error)) names.push_back(entry.path().filename().u8string());
  std::sort(names.begin(), names.end());
  return names;
}

bool SystemWritesReadOnly(const std::string& path) {
  return OnWindows() && std::ofstream(PathOf(path), std::ios::app).is_open();
}

void ChangeDir(const std::string& path) { fs::current_path(PathOf(path)); }
std::string CurrentDir() { return fs::current_path().u8string(); }

CStringW W(const std::string& utf8) { return CStringW(WideFromUtf8(utf8)); }
std::string Utf8(const CStringW& wide) { return Utf8FromWide(wide.Str()); }
std::string Utf8(const std::wstring& wide) { return Utf8FromWide(wide); }

CTestEnv::CTestEnv() : CEnvWrapper(CEnv::Default()) {}

std::string CTestEnv::Told() const {
  std::string all;
  for (const std::wstring& text : told) all += Utf8FromWide(text) + "|";
  return all;
}

void CTestEnv::HoldWithoutSharing(const std::string& path, int opens) { held_[Key(WideFromUtf8(path))] = opens; }
void CTestEnv::MarkInUse(const std::string& path) { inUse_.insert(Key(WideFromUtf8(path))); }

bool CTestEnv::Held(const std::wstring& path, bool opening) {
  const auto it = held_.find(Key(path));
  if (it == held_.end() || it->second == 0) return false;
  if (opening) {
    if (it->second > 0) --it->second;
    ++sharingViolations;
  }
  return true;
}

bool CTestEnv::InUse(const std::wstring& path) const { return inUse_.count(Key(path)) != 0; }

SysError CTestEnv::OpenForReading(const std::wstring& path, std::unique_ptr<CReadableFile>* file) {
  if (Held(path, true)) return kSysSharingViolation;
  return CEnvWrapper::OpenForReading(path, file);
}

SysError CTestEnv::OpenForWriting(const std::wstring& path, CreateMode mode, std::unique_ptr<CWritableFile>* file) {
  // Of a file that is there, kNewElseLookUp reads only the attributes, which no hold
  // refuses: as on Windows, the hold shows when the file is replaced.
  FileFacts facts;
  const bool looksOnly = mode == CreateMode::kNewElseLookUp && CEnvWrapper::LookUp(path, &facts) == kSysOk;
  if (!looksOnly && (Held(path, true) || InUse(path))) return kSysSharingViolation;
  std::unique_ptr<CWritableFile> opened;
  const SysError error = CEnvWrapper::OpenForWriting(path, mode, &opened);
  if (error != kSysOk) return error;
  file->reset(new CLimitedFile(std::move(opened), this, &diskRoom, failCloses));
  return kSysOk;
}

bool CTestEnv::HeldByAnother(const std::wstring& path) { return Held(path, false) || InUse(path); }

SysError CTestEnv::Remove(const std::wstring& path) {
  if (Held(path, false) || InUse(path)) return kSysSharingViolation;
  return CEnvWrapper::Remove(path);
}

std::wstring CTestEnv::ModulePath() { return modulePath.empty() ? CEnvWrapper::ModulePath() : modulePath; }

SysError CTestEnv::DesktopFolder(std::wstring* folder) {
  if (desktop.empty()) return kSysPathNotFound;
  *folder = desktop;
  return kSysOk;
}

int32_t CTestEnv::SaveShortcut(const std::wstring& shortcut, const std::wstring& target,
                               const std::wstring& description) {
  if (shortcutResult != 0) return shortcutResult;
  const int32_t saved = CEnvWrapper::SaveShortcut(shortcut, target, description);
  if (saved == 0) shortcuts.push_back({Utf8FromWide(shortcut), Utf8FromWide(target), Utf8FromWide(description)});
  return saved;
}

void CTestEnv::Tell(const std::wstring& text) {
  told.push_back(text);
  if (onTell) onTell(text);
}

bool CTestEnv::Ask(const std::wstring& text) {
  Tell(text);
  if (answers.empty()) {
    ++unansweredQuestions;
    return false;
  }
  const bool yes = answers.front();
  answers.pop_front();
  return yes;
}

}  // namespace testing_support
