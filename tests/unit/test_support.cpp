#include "tests/unit/test_support.h"

#include "platform/utf8.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>

namespace testing_support {

ScratchDir::ScratchDir() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/setup-test.XXXXXX";
  if (!mkdtemp(&pattern[0])) throw std::runtime_error("mkdtemp failed in " + pattern);
  path_ = pattern;
}

ScratchDir::~ScratchDir() {
  const std::string command = "chmod -R u+rwx '" + path_ + "' 2>/dev/null; rm -rf '" + path_ + "'";
  if (std::system(command.c_str()) != 0) std::fprintf(stderr, "could not remove %s\n", path_.c_str());
}

void WriteBytes(const std::string& posixPath, const std::string& bytes) {
  std::ofstream out(posixPath, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), std::streamsize(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + posixPath);
}

std::string ReadBytes(const std::string& posixPath) {
  std::ifstream in(posixPath, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + posixPath);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

bool Exists(const std::string& posixPath) {
  struct stat st;
  return lstat(posixPath.c_str(), &st) == 0;
}

std::vector<std::string> ListDir(const std::string& posixPath) {
  std::vector<std::string> names;
  if (DIR* d = opendir(posixPath.c_str())) {
    while (dirent* e = readdir(d)) {
      const std::string n = e->d_name;
      if (n != "." && n != "..") names.push_back(n);
    }
    closedir(d);
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string MessagesShown() {
  std::string all;
  for (const auto& box : standin::MessageBoxes()) all += box.text + "|";
  return all;
}

std::string MessagesShownUtf8() {
  std::string all;
  for (const auto& box : standin::MessageBoxes()) all += Utf8FromWide(box.wideText) + "|";
  return all;
}

CStringW W(const std::string& utf8) { return CStringW(WideFromUtf8(utf8)); }
std::string Utf8(const CStringW& wide) { return Utf8FromWide(wide.Str()); }

ScriptedUser& ScriptedUser::On(int templateId, Step step) {
  steps_.emplace_back(templateId, std::move(step));
  return *this;
}

ScriptedUser& ScriptedUser::Answer(int answer) {
  answers_.push_back(answer);
  return *this;
}

bool ScriptedUser::Act(HWND dialog, int templateId) {
  if (steps_.empty()) {
    problems.push_back("dialog " + std::to_string(templateId) + " waited, no step left");
    return false;
  }
  if (steps_.front().first != templateId) {
    problems.push_back("dialog " + std::to_string(templateId) + " waited, the next step is for " +
                       std::to_string(steps_.front().first));
    return false;
  }
  Step step = std::move(steps_.front().second);
  steps_.pop_front();
  step(dialog);
  return true;
}

int ScriptedUser::Answer(const standin::MessageBoxShown& box) {
  if ((box.type & MB_TYPEMASK) == MB_OK) return IDOK;
  if (answers_.empty()) {
    problems.push_back("message box without a queued answer: " + box.text);
    return IDCANCEL;
  }
  const int answer = answers_.front();
  answers_.pop_front();
  return answer;
}

ScriptedUser::Step Press(int controlId) {
  return [controlId](HWND dialog) { standin::Press(dialog, controlId); };
}

}  // namespace testing_support
