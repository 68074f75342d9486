// e2e_driver: plays the user of a Windows program through its real windows.
//
//   e2e_driver STEP...
//
// Each step is a word followed by its arguments, one command-line argument each
// (quote them in the shell). All steps are checked before the first one runs.
//
//   timeout SECONDS              later waits give up after SECONDS (default 10, decimals allowed)
//   poll MS                      later waits look again after a fiftieth of the time they have
//                                waited, 1 to MS milliseconds (without it, every 20 ms): a mark
//                                lags what it marks by 2 % at most, and a long wait asks little
//                                of the system that the program shares
//   mark NAME                    print "mark NAME MS", MS the driver's clock in milliseconds
//                                (decimals), for timing what the program does between steps
//   no-spy                       the next start hooks no spy into the program, so that
//                                nothing of the driver runs inside it (for timing: the hook
//                                sees every message the program sends); no-window and the
//                                icon steps then see nothing
//   start APP CMDLINE            CreateProcessA(APP, CMDLINE): the command line is passed exactly
//                                as given, quotes and all; APP "-" passes NULL instead
//   start-in DIR APP CMDLINE     the same, with DIR as the working directory
//   start-wide APP CMDLINE       the same through CreateProcessW, both taken from the driver's
//                                wide command line: names the ANSI code page cannot spell
//                                (a folder of a user named in another script)
//   dialog CAPTION               wait for a visible dialog (#32770) of the process with exactly
//                                this caption; it becomes the current window
//   msgbox CAPTION TEXT BUTTONS  wait for a message box with exactly this caption and text, whose
//                                visible buttons are exactly BUTTONS (ids, comma separated:
//                                1 OK, 2 Cancel, 6 Yes, 7 No); it becomes the current window.
//                                A box a click has just answered is never taken for the next.
//                                The text is compared as wide text, from the driver's wide
//                                command line: names outside the ANSI code page count too.
//   msgbox-file CAPTION PATH BUTTONS
//                                the same, with the text read from the file PATH, in UTF-8
//                                (for texts too long for a command line; shown shortened in
//                                the transcript)
//   text ID EXPECTED             expect the text of control ID of the current window
//   focus ID                     expect control ID of the current window to have the keyboard focus
//   type ID TEXT                 replace the text of control ID, as if typed (WM_SETTEXT, wide,
//                                from the wide command line)
//   click ID                     press button ID of the current window
//   no-window SECONDS            expect no window of the process to show, not even for a
//                                moment, from the last click or type until SECONDS after this
//                                step began (sooner when the process ends), other than windows
//                                a dialog or msgbox step has already found
//   checkpoint PATH              create the file PATH, then wait until someone deletes it: the
//                                scenario script acts meanwhile (takes a screenshot, looks at
//                                files) while the program is held where it is
//   exit CODE                    wait for the process to end; expect its exit code
//   kill                         end the process
//   dump                         print the windows the process has shown so far, then every
//                                window it has now with its controls
//   codepage N                   expect the ANSI code page (GetACP) to be N: the locale took
//                                effect
//   rect ID                      print control ID of the current window (0: the window itself):
//                                its window and client rectangles on the screen, and for an
//                                edit control its left and right margins, as
//                                "rect ID window L T R B client L T R B margins L R"
//   lines-fit ID                 expect the text of every line of edit control ID to end
//                                inside its text area, the client width less the right margin
//                                (where a line too long for the box would be cut off); spaces
//                                at the end of a line are not drawn and do not count
//   move DX DY                   move the current window DX pixels right and DY down (negative:
//                                left, up), as a user drags it
//   workarea                     print the work area of the screen, "workarea L T R B"
//   msgbox-icon KIND             expect the current window's icon static (SS_ICON: a message
//                                box's) to show, with the stock icon KIND: exclamation, hand,
//                                question or asterisk
//   window-icons                 expect the current window to have a big and a small icon
//                                (WM_GETICON ICON_BIG and ICON_SMALL: what SetIcon set).
//                                Both icon steps take what e2e_spy.dll saw inside the program
//                                as the window showed (see spy.cpp).
//   hold PATH SECONDS            open PATH without sharing (as a virus scanner does) and let it
//                                go SECONDS later, while the steps after this one go on
//   responsive SECONDS           from now until the process ends, ask every visible window of
//                                it every 100 ms whether it is hung (IsHungAppWindow) and time
//                                its answer to WM_NULL; the exit step fails if any window was
//                                hung or took longer than SECONDS to answer, and prints the
//                                samples and the longest wait
//
// IDs are decimal or 0x-prefixed hex. Texts compare byte for byte; use bash's $'...' for
// control characters. In the transcript, texts are shown in double quotes with control
// characters escaped (\n, \r, \t, \xNN) and quotes as \"; backslashes are shown as they are.
//
// The program is started suspended and e2e_spy.dll (beside the driver) is hooked into its
// main thread before it runs: the spy logs every top-level window as it shows, to the file
// named by E2E_SPY_LOG (default %TEMP%\e2e_spy.log), which the program inherits.
//
// One transcript line per step goes to stdout. Exit status: 0 when every step passed, 1 at
// the first failing step (reason and the windows of the process on stderr, the process
// killed), 2 for a malformed command line.

#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

DWORD kPollMs = 20;  // the poll step sets it
bool gAdaptivePoll = false;

// The pause between two looks of a wait that began at `start` (GetTickCount).
void PollPause(DWORD start) {
  const DWORD waited = GetTickCount() - start;
  Sleep(gAdaptivePoll ? std::min(kPollMs, std::max<DWORD>(1, waited / 50)) : kPollMs);
}

struct StepFailed : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// How many arguments each step takes; also the list of known steps.
struct StepKind {
  const char* name;
  int args;
};
constexpr StepKind kSteps[] = {
    {"timeout", 1}, {"start", 2}, {"start-in", 3},  {"dialog", 1},     {"msgbox", 3},
    {"text", 2},    {"focus", 1}, {"type", 2},      {"click", 1},      {"no-window", 1},
    {"exit", 1},    {"kill", 0},  {"checkpoint", 1}, {"dump", 0},    {"msgbox-file", 3},
    {"codepage", 1}, {"rect", 1}, {"lines-fit", 1}, {"hold", 2}, {"start-wide", 2}, {"responsive", 1},
    {"move", 2}, {"workarea", 0}, {"msgbox-icon", 1}, {"window-icons", 0}, {"poll", 1}, {"mark", 1},
    {"no-spy", 0},
};

struct Step {
  std::string name;
  std::vector<std::string> args;
  std::vector<std::wstring> wideArgs;  // the same arguments from the wide command line
};

std::string Show(const std::string& s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    if (c == '"') out += "\\\"";
    else if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else if (c == '\t') out += "\\t";
    else if (c < 0x20 || c >= 0x7f) {
      char hex[8];
      snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    } else out += static_cast<char>(c);
  }
  return out + "\"";
}

// A long text, such as the report of thousands of files, shortened for the transcript.
std::string Brief(const std::string& s) {
  const size_t kShown = 2000;
  if (s.size() <= kShown) return Show(s);
  return Show(s.substr(0, kShown)) + "... (" + std::to_string(s.size()) + " bytes)";
}

bool ParseNumber(const std::string& s, long long* value) {
  if (s.empty()) return false;
  char* end = nullptr;
  *value = strtoll(s.c_str(), &end, 0);
  return *end == '\0';
}

bool ParseSeconds(const std::string& s, DWORD* ms) {
  char* end = nullptr;
  double sec = strtod(s.c_str(), &end);
  if (s.empty() || *end != '\0' || !(sec >= 0) || sec > 3600) return false;
  *ms = static_cast<DWORD>(sec * 1000 + 0.5);
  return true;
}

bool ParseIdList(const std::string& s, std::set<long long>* ids) {
  size_t pos = 0;
  while (pos <= s.size()) {
    size_t comma = s.find(',', pos);
    if (comma == std::string::npos) comma = s.size();
    long long id = 0;
    if (!ParseNumber(s.substr(pos, comma - pos), &id)) return false;
    ids->insert(id);
    pos = comma + 1;
  }
  return !ids->empty();
}

std::string ClassOf(HWND hwnd) {
  char name[256] = "";
  GetClassNameA(hwnd, name, sizeof name);
  return name;
}

// The caption of a top-level window is kept by the window system, so reading it never
// waits on the program.
std::string CaptionOf(HWND hwnd) {
  char text[1024] = "";
  GetWindowTextA(hwnd, text, sizeof text);
  return text;
}

// A control's text must be asked of the control itself: an edit control keeps its own
// buffer, which GetWindowText cannot see from another process. SendMessageTimeout, not
// SendMessage, so a busy or hung program fails the step instead of hanging the driver.
bool ControlText(HWND hwnd, DWORD timeoutMs, std::string* text) {
  DWORD_PTR len = 0;
  if (!SendMessageTimeoutA(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, timeoutMs, &len))
    return false;
  std::vector<char> buf(len + 1);
  DWORD_PTR got = 0;
  if (!SendMessageTimeoutA(hwnd, WM_GETTEXT, buf.size(), reinterpret_cast<LPARAM>(buf.data()),
                           SMTO_ABORTIFHUNG, timeoutMs, &got))
    return false;
  text->assign(buf.data(), std::min<size_t>(got, len));
  return true;
}

bool ControlTextWide(HWND hwnd, DWORD timeoutMs, std::wstring* text) {
  DWORD_PTR len = 0;
  if (!SendMessageTimeoutW(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, timeoutMs, &len)) return false;
  std::vector<wchar_t> buf(len + 1);
  DWORD_PTR got = 0;
  if (!SendMessageTimeoutW(hwnd, WM_GETTEXT, buf.size(), reinterpret_cast<LPARAM>(buf.data()), SMTO_ABORTIFHUNG,
                           timeoutMs, &got))
    return false;
  text->assign(buf.data(), std::min<size_t>(got, len));
  return true;
}

std::string Utf8OfWide(const std::wstring& wide) {
  if (wide.empty()) return std::string();
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string out(size_t(n > 0 ? n : 0), '\0');
  if (n > 0) WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), &out[0], n, nullptr, nullptr);
  return out;
}

std::wstring WideOfUtf8(const std::string& utf8) {
  if (utf8.empty()) return std::wstring();
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
  std::wstring out(size_t(n > 0 ? n : 0), L'\0');
  if (n > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), &out[0], n);
  return out;
}

struct WindowSearch {
  DWORD pid;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM lp) {
  auto* search = reinterpret_cast<WindowSearch*>(lp);
  DWORD owner = 0;
  GetWindowThreadProcessId(hwnd, &owner);
  if (owner == search->pid) search->found.push_back(hwnd);
  return TRUE;
}

std::vector<HWND> TopWindowsOf(DWORD pid) {
  WindowSearch search{pid, {}};
  EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

bool IsDialog(HWND hwnd) { return ClassOf(hwnd) == "#32770"; }

// The control with the keyboard focus in the thread that owns `window`, mapped to the
// direct child of `window` that contains it (a combo box's edit counts as the combo).
// Returns null when the focus is elsewhere; *focus receives the raw focus window.
HWND FocusedChild(HWND window, HWND* focus) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  *focus = nullptr;
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) return nullptr;
  *focus = info.hwndFocus;
  for (HWND h = info.hwndFocus; h; h = GetParent(h))
    if (GetParent(h) == window) return h;
  return nullptr;
}

void DumpChildren(FILE* out, HWND parent, HWND focus, int depth) {
  for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    std::string text;
    std::string shown = ControlText(c, 1000, &text) ? Show(text) : "(no answer)";
    LONG style = GetWindowLongA(c, GWL_STYLE);
    std::string cls = ClassOf(c);
    fprintf(out, "%*s%d %s %s%s%s%s%s\n", depth * 2, "", GetDlgCtrlID(c), cls.c_str(),
            shown.c_str(), IsWindowVisible(c) ? "" : " hidden",
            IsWindowEnabled(c) ? "" : " disabled", c == focus ? " focus" : "",
            cls == "Button" && (style & 0x0F) == BS_DEFPUSHBUTTON ? " default" : "");
    DumpChildren(out, c, focus, depth + 1);
  }
}

void DumpWindows(FILE* out, DWORD pid) {
  int shown = 0;
  for (HWND w : TopWindowsOf(pid)) {
    // Wine gives every GUI thread hidden helper windows (IME and the like): noise here.
    // Hidden dialogs stay, since "created but never shown" is worth seeing.
    if (!IsWindowVisible(w) && !IsDialog(w)) continue;
    HWND focus;
    FocusedChild(w, &focus);
    fprintf(out, "window %s %s%s%s\n", ClassOf(w).c_str(), Show(CaptionOf(w)).c_str(),
            IsWindowVisible(w) ? "" : " hidden", IsWindowEnabled(w) ? "" : " disabled");
    DumpChildren(out, w, focus, 1);
    ++shown;
  }
  if (!shown) fprintf(out, "(no windows)\n");
}

std::string HexOf(HWND hwnd) {
  char hex[32];
  snprintf(hex, sizeof hex, "%llx", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(hwnd)));
  return hex;
}

// The windows e2e_spy.dll saw the program show (see spy.cpp): "<hwnd> <class> <caption>"
// each, in the order shown.
class SpyLog {
 public:
  // A new log for a new program. The variable is set in the driver's own environment,
  // which the program inherits.
  void Reset() {
    char path[MAX_PATH];
    DWORD len = GetEnvironmentVariableA("E2E_SPY_LOG", path, sizeof path);
    if (len == 0 || len >= sizeof path) {
      GetTempPathA(sizeof path, path);
      strncat(path, "e2e_spy.log", sizeof path - strlen(path) - 1);
      SetEnvironmentVariableA("E2E_SPY_LOG", path);
    }
    path_ = path;
    DeleteFileA(path_.c_str());
    read_ = 0;
    lines_.clear();
    mark_ = 0;
  }

  // Called as the driver acts (a click, typing): what showed before is not news.
  void Mark() {
    Update();
    mark_ = lines_.size();
  }

  // Called when a wait has found `hwnd`: the scenario expected it, so its showing is no news.
  void Expect(HWND hwnd) { expected_.insert(HexOf(hwnd)); }

  // The windows shown since the last Mark that no wait has found.
  std::vector<std::string> News() {
    Update();
    std::vector<std::string> news;
    for (size_t i = mark_; i < lines_.size(); ++i)
      if (!expected_.count(lines_[i].substr(0, lines_[i].find(' ')))) news.push_back(lines_[i]);
    return news;
  }

  const std::vector<std::string>& All() {
    Update();
    return lines_;
  }

  // "<hwnd> <class> <caption>" as the transcript shows windows.
  static std::string Describe(const std::string& line) {
    size_t a = line.find(' ');
    size_t b = a == std::string::npos ? a : line.find(' ', a + 1);
    if (b == std::string::npos) return line;
    return line.substr(a + 1, b - a - 1) + " " + Show(line.substr(b + 1));
  }

 private:
  // Takes in the lines the spy has finished since the last look.
  void Update() {
    HANDLE file = CreateFileA(path_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;  // nothing shown yet
    std::string text;
    char buf[4096];
    DWORD got;
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(read_);
    SetFilePointerEx(file, at, nullptr, FILE_BEGIN);
    while (ReadFile(file, buf, sizeof buf, &got, nullptr) && got) text.append(buf, got);
    CloseHandle(file);
    size_t pos = 0, nl;
    while ((nl = text.find('\n', pos)) != std::string::npos) {  // a partial last line waits
      lines_.push_back(text.substr(pos, nl - pos));
      pos = nl + 1;
    }
    read_ += pos;
  }

  std::string path_;
  size_t read_ = 0;
  std::vector<std::string> lines_;
  size_t mark_ = 0;
  std::set<std::string> expected_;
};

class Driver {
 public:
  ~Driver() { Stop(); }

  void Run(const Step& step) {
    const auto& a = step.args;
    const std::string& s = step.name;
    if (s == "timeout") Timeout(a[0]);
    else if (s == "start") Start("", a[0], a[1]);
    else if (s == "start-in") Start(a[0], a[1], a[2]);
    else if (s == "dialog") WaitDialog(a[0]);
    else if (s == "msgbox") WaitMessageBox(a[0], WideArg(step, 1), a[2]);
    else if (s == "text") ExpectText(Id(a[0]), a[1]);
    else if (s == "focus") ExpectFocus(Id(a[0]));
    else if (s == "type") Type(Id(a[0]), a[1], WideArg(step, 1));
    else if (s == "click") Click(Id(a[0]));
    else if (s == "no-window") NoNewWindow(a[0]);
    else if (s == "checkpoint") Checkpoint(a[0]);
    else if (s == "exit") ExpectExit(a[0]);
    else if (s == "kill") Kill();
    else if (s == "dump") Dump();
    else if (s == "msgbox-file") WaitMessageBox(a[0], WideOfUtf8(ReadText(a[1])), a[2]);
    else if (s == "codepage") ExpectCodePage(a[0]);
    else if (s == "rect") Rect(Id(a[0]));
    else if (s == "lines-fit") LinesFit(Id(a[0]));
    else if (s == "hold") Hold(a[0], a[1]);
    else if (s == "start-wide") StartWide(step.wideArgs[0], step.wideArgs[1], a[0], a[1]);
    else if (s == "responsive") Responsive(a[0]);
    else if (s == "move") Move(a[0], a[1]);
    else if (s == "workarea") WorkArea();
    else if (s == "msgbox-icon") ExpectMessageBoxIcon(a[0]);
    else if (s == "window-icons") ExpectWindowIcons();
    else if (s == "poll") Poll(a[0]);
    else if (s == "mark") Mark(a[0]);
    else if (s == "no-spy") NoSpy();
  }

  void NoSpy() {
    noSpy_ = true;
    Say("no-spy");
  }

  void Poll(const std::string& ms) {
    char* end = nullptr;
    const unsigned long value = strtoul(ms.c_str(), &end, 10);
    if (ms.empty() || *end || value == 0 || value > 1000)
      throw StepFailed("poll wants 1 to 1000 milliseconds, not " + ms);
    kPollMs = DWORD(value);  // Wine sleeps as asked; Windows would round up to its tick
    gAdaptivePoll = true;
    Say("poll " + ms + " ms");
  }

  void Mark(const std::string& name) {
    LARGE_INTEGER frequency, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&now);
    char ms[32];
    snprintf(ms, sizeof ms, "%.1f", double(now.QuadPart) * 1000.0 / double(frequency.QuadPart));
    Say("mark " + name + " " + ms);
  }

  // After a failure: show what the program had on screen, then make sure it is gone.
  void ReportAndStop() {
    if (process_.hProcess) {
      fprintf(stderr, "windows the process showed, in order:\n");
      for (const auto& line : spy_.All()) fprintf(stderr, "  %s\n", SpyLog::Describe(line).c_str());
    }
    if (Running()) {
      fprintf(stderr, "windows of the process now:\n");
      DumpWindows(stderr, process_.dwProcessId);
    }
    Stop();
  }

  bool Running() const {
    return process_.hProcess && WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT;
  }

  void Stop() {
    EndWatch();
    if (Running()) {
      TerminateProcess(process_.hProcess, 1);
      WaitForSingleObject(process_.hProcess, 5000);
    }
    if (hook_) UnhookWindowsHookEx(hook_);
    if (process_.hProcess) {
      CloseHandle(process_.hProcess);
      CloseHandle(process_.hThread);
    }
    hook_ = nullptr;
    process_ = {};
    current_ = nullptr;
  }

 private:
  // The step's argument as the wide command line gives it; the ANSI one read in the code
  // page when the two did not split alike.
  static std::wstring WideArg(const Step& step, size_t i) {
    if (i < step.wideArgs.size()) return step.wideArgs[i];
    std::wstring wide(step.args[i].size() + 1, L'\0');
    const int n = MultiByteToWideChar(CP_ACP, 0, step.args[i].c_str(), -1, &wide[0], int(wide.size()));
    wide.resize(n > 0 ? size_t(n - 1) : 0);
    return wide;
  }

  static long long Id(const std::string& s) {
    long long id = 0;
    ParseNumber(s, &id);  // validated before the run
    return id;
  }

  void Say(const std::string& line) {
    printf("%s\n", line.c_str());
    fflush(stdout);  // the transcript must survive a kill of the driver
  }

  void Timeout(const std::string& seconds) {
    ParseSeconds(seconds, &timeoutMs_);
    Say("timeout " + seconds + " s");
  }

  // Starts the program through `create`, suspended, so that the spy is in place before
  // the program can show anything.
  template <typename Create>
  void Launch(const std::string& shown, Create create) {
    if (Running()) throw StepFailed("a process is still running; end it with exit or kill first");
    Stop();
    HOOKPROC spyProc = LoadSpy();
    spy_.Reset();
    if (!create(&process_)) {
      DWORD err = GetLastError();
      process_ = {};
      throw StepFailed("CreateProcess failed with error " + std::to_string(err));
    }
    if (!noSpy_) {
      hook_ = SetWindowsHookExA(WH_CALLWNDPROC, spyProc, spyModule_, process_.dwThreadId);
      if (!hook_) throw StepFailed("cannot hook the spy into the program: error " + std::to_string(GetLastError()));
    }
    noSpy_ = false;
    ResumeThread(process_.hThread);
    Say(shown + " (pid " + std::to_string(process_.dwProcessId) + ")");
  }

  void Start(const std::string& dir, const std::string& app, const std::string& cmdline) {
    std::vector<char> line(cmdline.begin(), cmdline.end());
    line.push_back('\0');  // CreateProcessA may write into the command line
    Launch("start " + app + " " + Show(cmdline) + (dir.empty() ? "" : " in " + dir), [&](PROCESS_INFORMATION* pi) {
      STARTUPINFOA si = {};
      si.cb = sizeof si;
      return CreateProcessA(app == "-" ? nullptr : app.c_str(), line.data(), nullptr, nullptr, FALSE,
                            CREATE_SUSPENDED, nullptr, dir.empty() ? nullptr : dir.c_str(), &si, pi) != FALSE;
    });
  }

  void StartWide(const std::wstring& app, const std::wstring& cmdline, const std::string& shownApp,
                 const std::string& shownCmdline) {
    std::vector<wchar_t> line(cmdline.begin(), cmdline.end());
    line.push_back(L'\0');  // CreateProcessW may write into the command line
    Launch("start-wide " + shownApp + " " + Show(shownCmdline), [&](PROCESS_INFORMATION* pi) {
      STARTUPINFOW si = {};
      si.cb = sizeof si;
      return CreateProcessW(app == L"-" ? nullptr : app.c_str(), line.data(), nullptr, nullptr, FALSE,
                            CREATE_SUSPENDED, nullptr, nullptr, &si, pi) != FALSE;
    });
  }

  // ---- responsive: a thread that asks the program's windows while the steps go on ----
  struct Watch {
    DWORD pid = 0;
    HANDLE stop = nullptr;
    HANDLE thread = nullptr;
    DWORD maxGapMs = 0;
    long samples = 0;
    long hung = 0;
    DWORD longest = 0;
    std::string longestWindow, hungWindow;
    DWORD started = 0;
  };

  static DWORD WINAPI WatchWindows(LPVOID p) {
    auto* w = static_cast<Watch*>(p);
    while (WaitForSingleObject(w->stop, 100) == WAIT_TIMEOUT) {
      for (HWND h : TopWindowsOf(w->pid)) {
        if (!IsWindowVisible(h)) continue;
        ++w->samples;
        if (IsHungAppWindow(h)) {
          ++w->hung;
          if (w->hungWindow.empty()) w->hungWindow = ClassOf(h) + " " + Show(CaptionOf(h));
        }
        const DWORD asked = GetTickCount();
        DWORD_PTR result;
        // A window that no longer exists answers nothing and is no hung window.
        const bool answered = SendMessageTimeoutA(h, WM_NULL, 0, 0, SMTO_BLOCK, 30000, &result) != 0;
        const DWORD took = GetTickCount() - asked;
        if ((answered || IsWindow(h)) && took > w->longest) {
          w->longest = took;
          w->longestWindow = ClassOf(h) + " " + Show(CaptionOf(h));
        }
      }
    }
    return 0;
  }

  void Responsive(const std::string& seconds) {
    RequireProcess();
    EndWatch();
    watch_ = Watch{};
    ParseSeconds(seconds, &watch_.maxGapMs);
    watch_.pid = process_.dwProcessId;
    watch_.started = GetTickCount();
    watch_.stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    watch_.thread = CreateThread(nullptr, 0, WatchWindows, &watch_, 0, nullptr);
    if (!watch_.stop || !watch_.thread) throw StepFailed("cannot start the thread that watches the windows");
    Say("responsive " + seconds + " s");
  }

  // Ends the watch, if one runs; true when it found the windows answering throughout.
  bool EndWatch(std::string* summary = nullptr) {
    if (!watch_.thread) return true;
    SetEvent(watch_.stop);
    WaitForSingleObject(watch_.thread, INFINITE);
    CloseHandle(watch_.thread);
    CloseHandle(watch_.stop);
    watch_.thread = watch_.stop = nullptr;
    const bool ok = watch_.hung == 0 && watch_.longest <= watch_.maxGapMs;
    if (summary)
      *summary = "responsive: " + std::to_string(watch_.samples) + " samples in " +
                 std::to_string((GetTickCount() - watch_.started) / 1000.0).substr(0, 5) + " s, hung " +
                 std::to_string(watch_.hung) + (watch_.hungWindow.empty() ? "" : " (first " + watch_.hungWindow + ")") +
                 ", the longest wait for an answer " + std::to_string(watch_.longest) + " ms" +
                 (watch_.longestWindow.empty() ? "" : " (" + watch_.longestWindow + ")");
    return ok;
  }

  HOOKPROC LoadSpy() {
    if (!spyModule_) {
      char path[MAX_PATH];
      DWORD len = GetModuleFileNameA(nullptr, path, sizeof path);
      std::string spy(path, len);
      spy = spy.substr(0, spy.find_last_of("\\/") + 1) + "e2e_spy.dll";
      spyModule_ = LoadLibraryA(spy.c_str());
      if (!spyModule_) throw StepFailed("cannot load " + spy + ": error " + std::to_string(GetLastError()));
    }
    // Through void (*)(), the one function type that converts to any other without a warning.
    auto proc = reinterpret_cast<HOOKPROC>(
        reinterpret_cast<void (*)()>(GetProcAddress(spyModule_, "E2eSpyProc")));
    if (!proc) throw StepFailed("e2e_spy.dll has no E2eSpyProc");
    return proc;
  }

  void RequireProcess() {
    if (!process_.hProcess) throw StepFailed("no process started");
  }

  void RequireCurrent() {
    if (!current_ || !IsWindow(current_)) throw StepFailed("no current window (dialog or msgbox first)");
  }

  // Polls `find` until it returns a window, the process ends, or the timeout passes.
  template <class Find>
  HWND WaitFor(const std::string& what, Find find) {
    RequireProcess();
    DWORD start = GetTickCount();
    for (;;) {
      for (HWND w : TopWindowsOf(process_.dwProcessId)) {
        // A program that has just come back from a long stretch of work (thousands of
        // files unpacked) still counts as hung for a moment, and a message sent to it with
        // SMTO_ABORTIFHUNG would fail at once: wait until it takes messages again.
        if (IsWindowVisible(w) && find(w) && !IsHungAppWindow(w)) {
          spy_.Expect(w);
          return w;
        }
      }
      DWORD code;
      if (!Running() && GetExitCodeProcess(process_.hProcess, &code))
        throw StepFailed("the process ended with exit code " + std::to_string(code) +
                         " while waiting for " + what);
      if (GetTickCount() - start > timeoutMs_)
        throw StepFailed("timed out after " + std::to_string(timeoutMs_) + " ms waiting for " + what);
      PollPause(start);
    }
  }

  void WaitDialog(const std::string& caption) {
    current_ = WaitFor("a dialog " + Show(caption),
                       [&](HWND w) { return IsDialog(w) && CaptionOf(w) == caption; });
    Say("dialog " + Show(caption));
  }

  std::set<long long> VisibleButtons(HWND window, std::string* names) {
    std::set<long long> ids;
    for (HWND c = GetWindow(window, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
      if (ClassOf(c) != "Button" || !IsWindowVisible(c)) continue;
      std::string label;
      ControlText(c, timeoutMs_, &label);
      ids.insert(GetDlgCtrlID(c));
      *names += " " + std::to_string(GetDlgCtrlID(c)) + " " + Show(label);
    }
    return ids;
  }

  // A message box is a #32770 too; what marks it is its text static, id 0xFFFF. (The
  // IDC_STATIC labels of a DIALOGEX template have the id 0xFFFFFFFF, so do not match.)
  void WaitMessageBox(const std::string& caption, const std::wstring& wideText, const std::string& buttons) {
    std::set<long long> want;
    ParseIdList(buttons, &want);
    // The box a click has just answered may still be up: it is not the next one.
    current_ = WaitFor("a message box " + Show(caption), [&](HWND w) {
      return w != answered_ && IsDialog(w) && CaptionOf(w) == caption && GetDlgItem(w, 0xFFFF);
    });
    std::wstring wideShown;
    if (!ControlTextWide(GetDlgItem(current_, 0xFFFF), timeoutMs_, &wideShown))
      throw StepFailed("the message box did not answer WM_GETTEXT");
    const std::string shown = Utf8OfWide(wideShown), expected = Utf8OfWide(wideText);
    std::string names;
    std::set<long long> have = VisibleButtons(current_, &names);
    Say("msgbox " + Show(caption) + " " + Brief(shown) + " buttons" + names);
    if (wideShown != wideText) {
      size_t at = 0;
      while (at < shown.size() && at < expected.size() && shown[at] == expected[at]) ++at;
      throw StepFailed("message box text is " + Brief(shown) + ", expected " + Brief(expected) +
                       " (UTF-8); they differ from byte " + std::to_string(at) + ": " + Show(shown.substr(at, 200)) +
                       " against " + Show(expected.substr(at, 200)));
    }
    if (have != want) throw StepFailed("message box buttons are" + names + ", expected " + buttons);
  }

  HWND Control(long long id) {
    RequireCurrent();
    HWND c = GetDlgItem(current_, static_cast<int>(id));
    if (!c) throw StepFailed("the current window has no control " + std::to_string(id));
    return c;
  }

  void ExpectText(long long id, const std::string& expected) {
    std::string text;
    if (!ControlText(Control(id), timeoutMs_, &text))
      throw StepFailed("control " + std::to_string(id) + " did not answer WM_GETTEXT");
    Say("text " + std::to_string(id) + " " + Show(text));
    if (text != expected)
      throw StepFailed("control " + std::to_string(id) + " shows " + Show(text) + ", expected " +
                       Show(expected));
  }

  void ExpectFocus(long long id) {
    RequireCurrent();
    HWND focus;
    HWND child = FocusedChild(current_, &focus);
    std::string got = !focus ? "nothing"
                      : child ? "control " + std::to_string(GetDlgCtrlID(child)) + " " +
                                    ClassOf(child)
                              : "window " + ClassOf(focus) + " outside the current window";
    Say("focus " + got);
    if (!child || GetDlgCtrlID(child) != id)
      throw StepFailed("the focus is on " + got + ", expected control " + std::to_string(id));
  }

  // WM_SETTEXT carries a pointer, so it cannot be posted across processes; it is sent with
  // a timeout, since the control notifies its dialog (EN_CHANGE) before returning.
  void Type(long long id, const std::string& text, const std::wstring& wide) {
    HWND c = Control(id);
    if (!IsWindowVisible(c) || !IsWindowEnabled(c))
      throw StepFailed("control " + std::to_string(id) + " is hidden or disabled");
    spy_.Mark();
    DWORD_PTR result;
    if (!SendMessageTimeoutW(c, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()), SMTO_ABORTIFHUNG, timeoutMs_,
                             &result))
      throw StepFailed("control " + std::to_string(id) + " did not answer WM_SETTEXT");
    Say("type " + std::to_string(id) + " " + Show(text));
  }

  // Posted, never sent: a click usually ends in a modal loop (a message box, the end of the
  // dialog), and a sent message would not return until that loop does.
  void Click(long long id) {
    HWND c = Control(id);
    // A user cannot press what they cannot see, nor anything under a modal message box;
    // a dialog whose nested dialog has just closed is enabled again a moment later, and a
    // user would wait for that.
    const DWORD start = GetTickCount();
    while (!IsWindowVisible(c) || !IsWindowEnabled(c) || !IsWindowEnabled(current_)) {
      if (GetTickCount() - start > timeoutMs_)
        throw StepFailed("button " + std::to_string(id) + " cannot be clicked (hidden or disabled)");
      PollPause(start);
    }
    std::string label;
    ControlText(c, timeoutMs_, &label);
    spy_.Mark();
    // Any button ends a message box, but not at once.
    if (GetDlgItem(current_, 0xFFFF)) answered_ = current_;
    if (!PostMessageA(c, BM_CLICK, 0, 0))
      throw StepFailed("PostMessage failed with error " + std::to_string(GetLastError()));
    Say("click " + std::to_string(id) + " " + Show(label));
  }

  // Counts from the driver's last action, not from this step: the click before it may
  // already have made the program flash a window and end. The spy sees every window the
  // main thread shows, however briefly; the polling covers other threads' windows that stay.
  void NoNewWindow(const std::string& seconds) {
    RequireProcess();
    DWORD ms;
    ParseSeconds(seconds, &ms);
    std::set<HWND> known;
    for (HWND w : TopWindowsOf(process_.dwProcessId))
      if (IsWindowVisible(w)) known.insert(w);
    DWORD start = GetTickCount();
    for (;;) {
      bool ended = !Running();  // read before the last look, so that look sees everything
      for (const auto& line : spy_.News()) throw StepFailed("a window showed: " + SpyLog::Describe(line));
      for (HWND w : TopWindowsOf(process_.dwProcessId))
        if (IsWindowVisible(w) && !known.count(w))
          throw StepFailed("a window showed: " + ClassOf(w) + " " + Show(CaptionOf(w)));
      if (ended || GetTickCount() - start >= ms) break;
      PollPause(start);
    }
    Say("no-window " + seconds + " s" + (Running() ? "" : " (process ended)"));
  }

  void Checkpoint(const std::string& path) {
    RequireProcess();
    // WM_NULL comes back once the program's thread takes messages again, so what it
    // shows has been painted by the time the script looks.
    DWORD_PTR result;
    if (current_ && IsWindow(current_))
      SendMessageTimeoutA(current_, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, timeoutMs_, &result);
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
      throw StepFailed("cannot create " + path + ": error " + std::to_string(GetLastError()));
    CloseHandle(file);
    DWORD start = GetTickCount();
    while (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
      if (GetTickCount() - start > timeoutMs_) {
        DeleteFileA(path.c_str());
        throw StepFailed("nobody released the checkpoint within " + std::to_string(timeoutMs_) + " ms");
      }
      PollPause(start);
    }
    Say("checkpoint " + path);
  }

  void ExpectExit(const std::string& expected) {
    RequireProcess();
    long long want = 0;
    ParseNumber(expected, &want);
    if (WaitForSingleObject(process_.hProcess, timeoutMs_) != WAIT_OBJECT_0)
      throw StepFailed("the process did not end within " + std::to_string(timeoutMs_) + " ms");
    DWORD code = 0;
    GetExitCodeProcess(process_.hProcess, &code);
    std::string summary;
    const bool answered = EndWatch(&summary);
    if (!summary.empty()) Say(summary);
    if (!answered) throw StepFailed("a window of the program did not answer in time: " + summary);
    Say("exit " + std::to_string(code));
    if (code != static_cast<DWORD>(want))
      throw StepFailed("exit code " + std::to_string(code) + ", expected " + expected);
  }

  void Kill() {
    RequireProcess();
    Stop();
    Say("kill");
  }

  static std::string ReadText(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
      throw StepFailed("cannot open " + path + ": error " + std::to_string(GetLastError()));
    std::string text;
    char buf[65536];
    DWORD got;
    while (ReadFile(file, buf, sizeof buf, &got, nullptr) && got) text.append(buf, got);
    CloseHandle(file);
    return text;
  }

  void ExpectCodePage(const std::string& expected) {
    const UINT acp = GetACP();
    Say("codepage " + std::to_string(acp));
    if (std::to_string(acp) != expected)
      throw StepFailed("the ANSI code page is " + std::to_string(acp) + ", expected " + expected +
                       " (is the locale installed? see tests/e2e/README.md)");
  }

  static std::string Corners(const RECT& r) {
    return std::to_string(r.left) + " " + std::to_string(r.top) + " " + std::to_string(r.right) + " " +
           std::to_string(r.bottom);
  }

  void Rect(long long id) {
    RequireCurrent();
    HWND c = id == 0 ? current_ : Control(id);
    RECT window, client;
    GetWindowRect(c, &window);
    GetClientRect(c, &client);
    MapWindowPoints(c, nullptr, reinterpret_cast<POINT*>(&client), 2);
    std::string margins = "0 0";
    if (ClassOf(c) == "Edit") {
      DWORD_PTR m = 0;
      SendMessageTimeoutA(c, EM_GETMARGINS, 0, 0, SMTO_ABORTIFHUNG, timeoutMs_, &m);
      margins = std::to_string(LOWORD(m)) + " " + std::to_string(HIWORD(m));
    }
    Say("rect " + std::to_string(id) + " window " + Corners(window) + " client " + Corners(client) + " margins " +
        margins);
  }

  void Move(const std::string& dx, const std::string& dy) {
    RequireCurrent();
    RECT r;
    GetWindowRect(current_, &r);
    const int x = r.left + static_cast<int>(Id(dx)), y = r.top + static_cast<int>(Id(dy));
    if (!SetWindowPos(current_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE))
      throw StepFailed("SetWindowPos failed with error " + std::to_string(GetLastError()));
    // Moved once the window system has it there; the program learns of it as it takes messages.
    DWORD_PTR result;
    SendMessageTimeoutA(current_, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, timeoutMs_, &result);
    GetWindowRect(current_, &r);
    Say("move " + dx + " " + dy + " to " + std::to_string(r.left) + " " + std::to_string(r.top));
    if (r.left != x || r.top != y)
      throw StepFailed("the window is at " + std::to_string(r.left) + " " + std::to_string(r.top) +
                       ", not at " + std::to_string(x) + " " + std::to_string(y));
  }

  void WorkArea() {
    RECT work;
    if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0)) throw StepFailed("SPI_GETWORKAREA failed");
    Say("workarea " + Corners(work));
  }

  // What e2e_spy.dll recorded of the current window as it showed (see spy.cpp); it may
  // lag a moment behind the showing the driver saw.
  INT_PTR SpyRecord(const char* property) {
    RequireCurrent();
    const DWORD start = GetTickCount();
    INT_PTR value;
    while ((value = reinterpret_cast<INT_PTR>(GetPropA(current_, property))) == 0) {
      if (GetTickCount() - start > timeoutMs_)
        throw StepFailed(std::string("e2e_spy.dll recorded no ") + property + " for the current window");
      PollPause(start);
    }
    return value;
  }

  void ExpectMessageBoxIcon(const std::string& kind) {
    RequireCurrent();
    HWND icon = nullptr;
    for (HWND c = GetWindow(current_, GW_CHILD); c && !icon; c = GetWindow(c, GW_HWNDNEXT))
      if (ClassOf(c) == "Static" && (GetWindowLongA(c, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) icon = c;
    if (!icon) throw StepFailed("the current window has no icon static (SS_ICON)");
    const char* const kinds[] = {"", "exclamation", "hand", "question", "asterisk", "another icon", "no icon"};
    const INT_PTR seen = SpyRecord("E2eSpyIcon");
    const std::string shown = seen > 0 && seen <= 6 ? kinds[seen] : "(unknown: " + std::to_string(seen) + ")";
    Say("msgbox-icon " + shown + " (control " + std::to_string(GetDlgCtrlID(icon)) +
        (IsWindowVisible(icon) ? "" : ", hidden") + ")");
    if (shown != kind || !IsWindowVisible(icon))
      throw StepFailed("the message box shows " + std::string(IsWindowVisible(icon) ? "" : "(hidden) ") +
                       (seen == 6 ? "no icon" : "the " + shown + " icon") + ", expected the " + kind + " icon");
  }

  // Asked inside the program by the spy: Wine fails WM_GETICON sent from another process.
  void ExpectWindowIcons() {
    const INT_PTR icons = SpyRecord("E2eSpyIcons");
    const bool big = icons & 1, small = icons & 2;
    Say(std::string("window-icons big ") + (big ? "set" : "none") + " small " + (small ? "set" : "none"));
    if (!big || !small)
      throw StepFailed(std::string("the window has no ") + (big ? "small" : small ? "big" : "big and no small") +
                       " icon");
  }

  // Only messages without pointers: they cross into the program's process as they are.
  LRESULT Ask(HWND c, UINT message, WPARAM wp) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(c, message, wp, 0, SMTO_ABORTIFHUNG, timeoutMs_, &result))
      throw StepFailed("the control did not answer message " + std::to_string(message) + " (error " +
                       std::to_string(GetLastError()) + ")");
    return static_cast<LRESULT>(result);
  }

  void LinesFit(long long id) {
    HWND c = Control(id);
    RECT client;
    GetClientRect(c, &client);
    const int right = client.right - HIWORD(static_cast<DWORD>(Ask(c, EM_GETMARGINS, 0)));
    // A dialog may fill a control at its first paint, a moment after it shows: wait for
    // the text as a user would.
    std::string text;
    const DWORD start = GetTickCount();
    while (text.empty()) {
      if (!ControlText(c, timeoutMs_, &text))
        throw StepFailed("control " + std::to_string(id) + " did not answer WM_GETTEXT");
      if (text.empty() && GetTickCount() - start > timeoutMs_)
        throw StepFailed("control " + std::to_string(id) + " shows no text");
      if (text.empty()) PollPause(start);
    }
    const int lines = static_cast<int>(Ask(c, EM_GETLINECOUNT, 0));
    int widest = 0, counted = 0;
    for (int line = 0; line < lines; ++line) {
      const int first = static_cast<int>(Ask(c, EM_LINEINDEX, line));
      int end = first + static_cast<int>(Ask(c, EM_LINELENGTH, first));
      if (first < 0 || end >= static_cast<int>(text.size())) continue;  // the empty line behind the last CR LF
      while (end > first && text[static_cast<size_t>(end - 1)] == ' ') --end;
      if (end == first) continue;  // a blank line
      // Where the character behind the last drawn one starts: where the drawn text ends.
      const int x = static_cast<short>(LOWORD(static_cast<DWORD>(Ask(c, EM_POSFROMCHAR, end))));
      widest = std::max(widest, x);
      ++counted;
      if (x > right)
        throw StepFailed("line " + std::to_string(line + 1) + " of control " + std::to_string(id) + " ends at x " +
                         std::to_string(x) + ", beyond its text area, which ends at " + std::to_string(right));
    }
    Say("lines-fit " + std::to_string(id) + ": " + std::to_string(counted) + " lines, the widest ends at x " +
        std::to_string(widest) + " of " + std::to_string(right));
    if (counted == 0) throw StepFailed("control " + std::to_string(id) + " shows no line");
  }

  struct HeldFile {
    HANDLE file;
    DWORD ms;
  };
  static DWORD WINAPI Release(LPVOID p) {
    auto* held = static_cast<HeldFile*>(p);
    Sleep(held->ms);
    CloseHandle(held->file);
    delete held;
    return 0;
  }

  void Hold(const std::string& path, const std::string& seconds) {
    DWORD ms;
    ParseSeconds(seconds, &ms);
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
      throw StepFailed("cannot hold " + path + ": error " + std::to_string(GetLastError()));
    HANDLE thread = CreateThread(nullptr, 0, Release, new HeldFile{file, ms}, 0, nullptr);
    if (!thread) throw StepFailed("cannot start the thread that lets " + path + " go");
    CloseHandle(thread);
    Say("hold " + path + " for " + seconds + " s");
  }

  void Dump() {
    RequireProcess();
    Say("dump");
    printf("shown so far, in order:\n");
    for (const auto& line : spy_.All()) printf("  %s\n", SpyLog::Describe(line).c_str());
    DumpWindows(stdout, process_.dwProcessId);
    fflush(stdout);
  }

  HMODULE spyModule_ = nullptr;
  bool noSpy_ = false;  // for the next start only
  HHOOK hook_ = nullptr;
  SpyLog spy_;
  PROCESS_INFORMATION process_ = {};
  HWND current_ = nullptr;
  HWND answered_ = nullptr;  // the message box last clicked in
  DWORD timeoutMs_ = 10000;
  Watch watch_;
};

// Checks the whole command line before anything runs, so a typo in a late step does not
// surface only after the program has been started.
bool ParseSteps(int argc, char** argv, const std::vector<std::wstring>& wide, std::vector<Step>* steps) {
  for (int i = 1; i < argc;) {
    const StepKind* kind = nullptr;
    for (const auto& k : kSteps)
      if (argv[i] == std::string(k.name)) kind = &k;
    if (!kind) {
      fprintf(stderr, "e2e_driver: unknown step '%s'\n", argv[i]);
      return false;
    }
    if (argc - i - 1 < kind->args) {
      fprintf(stderr, "e2e_driver: step '%s' needs %d argument(s)\n", kind->name, kind->args);
      return false;
    }
    Step step{kind->name, std::vector<std::string>(argv + i + 1, argv + i + 1 + kind->args), {}};
    if (wide.size() == size_t(argc))
      step.wideArgs.assign(wide.begin() + i + 1, wide.begin() + i + 1 + kind->args);
    else if (step.name == "start-wide") {
      fprintf(stderr, "e2e_driver: the wide command line does not split as the ANSI one does\n");
      return false;
    }
    const auto& a = step.args;
    long long n;
    DWORD ms;
    std::set<long long> ids;
    bool ok = true;
    if (step.name == "timeout" || step.name == "no-window" || step.name == "responsive") ok = ParseSeconds(a[0], &ms);
    else if (step.name == "hold") ok = ParseSeconds(a[1], &ms);
    else if (step.name == "text" || step.name == "focus" || step.name == "type" || step.name == "click" ||
             step.name == "exit" || step.name == "codepage" || step.name == "rect" || step.name == "lines-fit")
      ok = ParseNumber(a[0], &n);
    else if (step.name == "msgbox" || step.name == "msgbox-file") ok = ParseIdList(a[2], &ids);
    else if (step.name == "move") ok = ParseNumber(a[0], &n) && ParseNumber(a[1], &n);
    else if (step.name == "msgbox-icon")
      ok = a[0] == "exclamation" || a[0] == "hand" || a[0] == "question" || a[0] == "asterisk";
    if (!ok && step.name == "msgbox-icon") {
      fprintf(stderr, "e2e_driver: step 'msgbox-icon': '%s' is not exclamation, hand, question or asterisk\n",
              a[0].c_str());
      return false;
    }
    if (!ok) {
      fprintf(stderr, "e2e_driver: step '%s': bad number in '%s'\n", kind->name,
              step.name == "msgbox" || step.name == "msgbox-file" ? a[2].c_str()
              : step.name == "hold" || step.name == "move"         ? (a[0] + " " + a[1]).c_str()
                                                                   : a[0].c_str());
      return false;
    }
    steps->push_back(step);
    i += 1 + kind->args;
  }
  if (steps->empty()) fprintf(stderr, "e2e_driver: no steps given (see the top of driver.cpp)\n");
  return !steps->empty();
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::wstring> wide;
  int wideCount = 0;
  if (wchar_t** list = CommandLineToArgvW(GetCommandLineW(), &wideCount)) {
    wide.assign(list, list + wideCount);
    LocalFree(list);
  }
  std::vector<Step> steps;
  if (!ParseSteps(argc, argv, wide, &steps)) return 2;

  Driver driver;
  for (size_t i = 0; i < steps.size(); ++i) {
    try {
      driver.Run(steps[i]);
    } catch (const StepFailed& e) {
      std::string call = steps[i].name;
      for (const auto& a : steps[i].args) call += " " + Show(a);
      fprintf(stderr, "e2e_driver: FAILED at step %zu (%s): %s\n", i + 1, call.c_str(), e.what());
      driver.ReportAndStop();
      return 1;
    }
  }
  // A program left running would outlive the test and hold its prefix busy.
  if (driver.Running()) {
    fprintf(stderr, "e2e_driver: FAILED: the process is still running after the last step "
                    "(end with exit or kill)\n");
    driver.ReportAndStop();
    return 1;
  }
  return 0;
}
