// Shared by the native tests: a scratch directory, files, and a scripted user that plays
// the dialogs and message boxes of the program through the window-system stand-in.
#pragma once

#include "framework/afxstr.h"
#include "platform/posix/standin.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace testing_support {

// A fresh directory in $TMPDIR (default /tmp), removed with everything in it at the end
// of the test.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::string& path() const { return path_; }
  // `name` inside the directory, joined with a backslash as the program joins paths.
  std::string Win(const std::string& name) const { return path_ + "\\" + name; }
  std::string Posix(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

void WriteBytes(const std::string& posixPath, const std::string& bytes);
std::string ReadBytes(const std::string& posixPath);
bool Exists(const std::string& posixPath);
// The names in a directory, sorted.
std::vector<std::string> ListDir(const std::string& posixPath);

// The texts of the message boxes shown so far, each followed by "|".
std::string MessagesShown();
// The same, as they read (wide boxes with names the ANSI code page lacks), in UTF-8.
std::string MessagesShownUtf8();

// Wide text from UTF-8 (the tests' own strings), and back.
CStringW W(const std::string& utf8);
std::string Utf8(const CStringW& wide);

// Plays the user: each step acts on the dialog that waits, which must be the template
// the step names. Message boxes of type MB_OK are answered OK; others take the next
// queued answer.
class ScriptedUser : public standin::User {
 public:
  using Step = std::function<void(HWND)>;
  ScriptedUser() { standin::SetUser(this); }
  ~ScriptedUser() override { standin::SetUser(nullptr); }

  ScriptedUser& On(int templateId, Step step);
  ScriptedUser& Answer(int answer);

  bool Act(HWND dialog, int templateId) override;
  int Answer(const standin::MessageBoxShown& box) override;

  // Steps that were queued but never ran, and dialogs that waited for a step that
  // was not there: a test expects both empty.
  std::vector<std::string> problems;
  bool AllStepsRan() const { return steps_.empty() && answers_.empty(); }

 private:
  std::deque<std::pair<int, Step>> steps_;
  std::deque<int> answers_;
};

// Presses a control of the waiting dialog.
ScriptedUser::Step Press(int controlId);

}  // namespace testing_support
