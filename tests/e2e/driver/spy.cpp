// e2e_spy.dll: hooked by e2e_driver into the main thread of the program under test
// (WH_CALLWNDPROC), so it runs inside that program. It appends a line to the file named by
// the environment variable E2E_SPY_LOG for every top-level window the moment it is shown:
//
//   <hwnd in hex> <class> <caption>
//
// Polling from outside misses a window that is shown and destroyed within a few
// milliseconds (a dialog ended during its initialisation still flashes up); the hook
// cannot, since the line is written before the window procedure even sees the change.

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

}  // namespace

// SWP_SHOWWINDOW in WM_WINDOWPOSCHANGED covers ShowWindow and SetWindowPos alike.
extern "C" __declspec(dllexport) LRESULT CALLBACK E2eSpyProc(int code, WPARAM wp, LPARAM lp) {
  if (code == HC_ACTION) {
    const auto* msg = reinterpret_cast<const CWPSTRUCT*>(lp);
    if (msg->message == WM_WINDOWPOSCHANGED &&
        (reinterpret_cast<const WINDOWPOS*>(msg->lParam)->flags & SWP_SHOWWINDOW) &&
        GetAncestor(msg->hwnd, GA_PARENT) == GetDesktopWindow())
      LogShown(msg->hwnd);
  }
  return CallNextHookEx(nullptr, code, wp, lp);
}
