// Test control of the Linux stand-in for the window system and the process: a test sets
// the command line and the code page, plays the user through a `User`, and reads back
// everything the program showed. This is no Linux user interface; nothing is drawn.
#pragma once

#include "platform/posix/win32_api.h"

#include <string>
#include <vector>

namespace standin {

// ---- the process ----
void SetCommandLine(const std::string& commandLine);
void SetModuleFileName(const std::string& path);
// 1252 by default (no lead bytes); 932, 936, 949 and 950 are double-byte code pages.
void SetAnsiCodePage(UINT codePage);

// ---- the user ----
struct MessageBoxShown {
  HWND owner;
  std::string caption;
  std::string text;
  UINT type;
};

class User {
 public:
  virtual ~User() = default;
  // A modal dialog waits for input: act once (type, press) and return true, or return
  // false when there is nothing left to do (the dialog is then abandoned with -1).
  virtual bool Act(HWND dialog, int templateId) = 0;
  // The answer to a message box (IDOK, IDYES, ...).
  virtual int Answer(const MessageBoxShown& box) = 0;
};
void SetUser(User* user);  // nullptr: dialogs are abandoned, message boxes answer IDOK

// Acting as the user on the dialog that waits.
void Type(HWND dialog, int controlId, const std::string& text);
void Press(HWND dialog, int controlId);

// ---- what was shown ----
struct DialogRun {
  int templateId;
  bool shown;       // initialisation did not end it: the user saw it
  bool defaultFocus;  // WM_INITDIALOG returned TRUE: the first tab stop gets the focus
  INT_PTR result;   // what DialogBoxParamA returned
  std::string caption;  // at the time it closed
};
const std::vector<DialogRun>& Dialogs();
const std::vector<MessageBoxShown>& MessageBoxes();
// One line per paint-time drawing call, e.g. "DrawIcon 224,46 icon128".
const std::vector<std::string>& Drawing();
void ResetRecords();

// State of a live window (inside User::Act).
std::string WindowText(HWND window);
std::string ControlText(HWND dialog, int controlId);
HICON Icon(HWND window, int which);  // ICON_BIG or ICON_SMALL
int IconResourceOf(HICON icon);      // the resource id LoadIconA was given
void SetIconic(HWND window, bool iconic);
void SetClientSize(HWND window, int width, int height);
void Paint(HWND window);  // delivers WM_PAINT
bool WaitCursorShown();   // the current cursor is the wait cursor

}  // namespace standin
