// e2e_spy.dll: hooked by e2e_driver into the main thread of the program under test
// (WH_CALLWNDPROC), so it runs inside that program. It appends a line to the file named by
// the environment variable E2E_SPY_LOG for every top-level window the moment it is shown:
//
//   <hwnd in hex> <class> <caption>
//
// Polling from outside misses a window that is shown and destroyed within a few
// milliseconds (a dialog ended during its initialisation still flashes up); the hook
// cannot, since the line is written before the window procedure even sees the change.
//
// For a dialog it also records, as window properties the driver reads, the icons it has as
// it shows: "E2eSpyIcons" 4, plus 1 with a big icon (WM_GETICON ICON_BIG), plus 2 with a
// small one; and which stock icon its SS_ICON static shows (a message box's), if it has
// one: "E2eSpyIcon" 1 exclamation, 2 hand, 3 question, 4 asterisk, 5 another icon, 6 none.
// Only the program's own process can tell: Wine fails WM_GETICON sent from another
// process, and a stock icon is the same handle within one process only.

#include <windows.h>

#include <cstdio>

namespace {

void LogShown(HWND hwnd) {
  char path[MAX_PATH];
  DWORD len = GetEnvironmentVariableA("E2E_SPY_LOG", path, sizeof path);
  if (len == 0 || len >= sizeof path) return;
  char cls[128] = "", caption[512] = "";
  GetClassNameA(hwnd, cls, sizeof cls);
  GetWindowTextA(hwnd, caption, sizeof caption);
  for (char* p = caption; *p; ++p)
    if (*p == '\r' || *p == '\n') *p = ' ';  // one line per window
  char line[700];
  int n = snprintf(line, sizeof line, "%llx %s %s\n",
                   static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(hwnd)), cls, caption);
  if (n <= 0) return;
  if (n >= static_cast<int>(sizeof line)) n = sizeof line - 1;
  // Opened for each line: appends are atomic, and nothing stays open in the program.
  HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written;
  WriteFile(file, line, static_cast<DWORD>(n), &written, nullptr);
  CloseHandle(file);
}

void RecordIcons(HWND dialog) {
  const bool big = SendMessageA(dialog, WM_GETICON, ICON_BIG, 0) != 0;
  const bool small = SendMessageA(dialog, WM_GETICON, ICON_SMALL, 0) != 0;
  SetPropA(dialog, "E2eSpyIcons", reinterpret_cast<HANDLE>(INT_PTR(4 | (big ? 1 : 0) | (small ? 2 : 0))));
  for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    char cls[16] = "";
    GetClassNameA(c, cls, sizeof cls);
    if (lstrcmpiA(cls, "Static") != 0 || (GetWindowLongA(c, GWL_STYLE) & SS_TYPEMASK) != SS_ICON) continue;
    const HICON icon = reinterpret_cast<HICON>(SendMessageA(c, STM_GETICON, 0, 0));
    const LPCWSTR stock[] = {MAKEINTRESOURCEW(32515), MAKEINTRESOURCEW(32513), MAKEINTRESOURCEW(32514),
                             MAKEINTRESOURCEW(32516)};  // IDI_EXCLAMATION, IDI_HAND, IDI_QUESTION, IDI_ASTERISK
    INT_PTR kind = icon ? 5 : 6;
    for (int i = 0; i < 4 && icon; ++i)
      if (icon == LoadIconW(nullptr, stock[i])) kind = i + 1;
    SetPropA(dialog, "E2eSpyIcon", reinterpret_cast<HANDLE>(kind));
    return;
  }
}

}  // namespace

// SWP_SHOWWINDOW in WM_WINDOWPOSCHANGED covers ShowWindow and SetWindowPos alike.
extern "C" __declspec(dllexport) LRESULT CALLBACK E2eSpyProc(int code, WPARAM wp, LPARAM lp) {
  if (code == HC_ACTION) {
    const auto* msg = reinterpret_cast<const CWPSTRUCT*>(lp);
    if (msg->message == WM_WINDOWPOSCHANGED &&
        (reinterpret_cast<const WINDOWPOS*>(msg->lParam)->flags & SWP_SHOWWINDOW) &&
        GetAncestor(msg->hwnd, GA_PARENT) == GetDesktopWindow()) {
      // Icons are set in WM_INITDIALOG: they are there as the dialog shows.
      char cls[16] = "";
      GetClassNameA(msg->hwnd, cls, sizeof cls);
      if (lstrcmpA(cls, "#32770") == 0) RecordIcons(msg->hwnd);
      LogShown(msg->hwnd);
    }
  }
  return CallNextHookEx(nullptr, code, wp, lp);
}
