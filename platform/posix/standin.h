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
  std::string text;  // as the ANSI code page shows it
  UINT type;
  std::wstring wideText;  // the text itself, from a wide box or converted from an ANSI one
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

// Acting as the user on the dialog that waits. Type takes text of the ANSI code page;
// TypeWide any text, as a user types what the keyboard gives.
void Type(HWND dialog, int controlId, const std::string& text);
void TypeWide(HWND dialog, int controlId, const std::wstring& text);
void Press(HWND dialog, int controlId);

// ---- what was shown ----
struct DialogRun {
  int templateId;
  bool shown;       // initialisation did not end it: the user saw it (modeless: always)
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
std::string WindowText(HWND window);  // as the ANSI code page shows it
std::wstring WindowTextWide(HWND window);
std::string ControlText(HWND dialog, int controlId);
HICON Icon(HWND window, int which);  // ICON_BIG or ICON_SMALL
int IconResourceOf(HICON icon);      // the resource id LoadIconA was given
void SetIconic(HWND window, bool iconic);
void SetClientSize(HWND window, int width, int height);
// The space an edit control leaves between its client area's sides and its text.
constexpr int kEditLeftMargin = 1, kEditRightMargin = 2;
// Where a window is on the 1024 x 768 screen (its work area is 1024 x 740); a window is
// as large as its client area, and starts at 0, 0.
RECT WindowRect(HWND window);
void Paint(HWND window);  // delivers WM_PAINT
bool WaitCursorShown();   // the current cursor is the wait cursor
bool IsEnabled(HWND window);
// The live dialog of that template; null when none is open.
HWND OpenDialog(int templateId);
struct ProgressBar {
  int low, high, position;
};
ProgressBar ProgressOf(HWND dialog, int controlId);
// How often the program has looked into its message queue (PeekMessageA).
unsigned long MessageQueuePeeks();
// The client size that control `controlId` of dialog `templateId` gets when it comes into
// being (480 x 123 unless set); kept until ResetRecords.
void SetControlClientSize(int templateId, int controlId, int width, int height);

// ---- drawing contexts and the default printer (gdi32.cpp) ----
// Text is measured with exact, chosen metrics: every character of a text is equally wide
// and a text is as high as its font, also when it is empty. A context carries the system
// font until another is selected; a font made with lfHeight h is |h| high and |h| / 2
// wide per character (at least 1).
void SetSystemFontMetrics(int charWidth, int height);  // 7 x 16 unless set
// The font of every dialog's controls (WM_GETFONT), "MS Sans Serif": 6 x 13 unless set.
void SetDialogFontMetrics(int charWidth, int height);
HFONT DialogFont();
// A colour of the scheme, as GetSysColor gives it and DefWindowProcA uses it.
void SetSysColor(int index, COLORREF color);

struct Printer {
  int horzRes;     // HORZRES, VERTRES: the printable page in pixels
  int vertRes;
  int logPixelsY;  // LOGPIXELSY (and LOGPIXELSX)
};
// nullptr: there is no default printer, and PrintDlgA fails with PDERR_NODEFAULTPRN.
void SetDefaultPrinter(const Printer* printer);

struct PrintedText {
  int page;  // 1 for the first page of its document
  int x, y;
  std::string text;
  std::string face;  // of the selected font; "System" for the system font
  LONG fontHeight;   // lfHeight of the selected font
  int mapMode;
  UINT textAlign;
};
struct PrintJob {
  std::string name;  // lpszDocName
  bool ended = false;
  int pages = 0;     // pages ended
  std::vector<PrintedText> texts;
  // Every call on the printer's context in order, e.g. "StartDoc", "StartPage",
  // "TextOut", "EndPage", "EndDoc".
  std::vector<std::string> calls;
};
// Documents started on printer contexts since the last ResetRecords.
const std::vector<PrintJob>& PrintJobs();
// LOGFONTs given to CreateFontIndirectA since the last ResetRecords.
const std::vector<LOGFONTA>& FontsCreated();
// Misuse that Windows would refuse or leak on, such as text drawn outside a page, a page
// outside a document or a font deleted while selected: a test expects none.
const std::vector<std::string>& GdiProblems();
// Contexts from GetDC or PrintDlgA, fonts and global memory not yet given back.
int LiveGdiResources();
void ResetGdiRecords();  // called by ResetRecords

}  // namespace standin
