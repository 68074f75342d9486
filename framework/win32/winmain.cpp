// The Windows entry point. Before anything else, DLLs are restricted to the system
// directory: a setup program is started from a downloads folder, and a DLL planted
// beside it must never be loaded in its place.
#include "framework/win32/afxwin.h"

#include <commctrl.h>

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif

namespace {

void RestrictDllSearchToSystem() {
  // Windows 8 and later, and Windows 7 with KB2533623; looked up so older systems start too.
  typedef BOOL(WINAPI * SetDefaultDllDirectoriesFn)(DWORD);
  HMODULE kernel32 = ::GetModuleHandleA("kernel32.dll");
  FARPROC proc = kernel32 ? ::GetProcAddress(kernel32, "SetDefaultDllDirectories") : nullptr;
  if (proc) {
    reinterpret_cast<SetDefaultDllDirectoriesFn>(reinterpret_cast<void (*)()>(proc))(LOAD_LIBRARY_SEARCH_SYSTEM32);
  }
  // Where that is missing, at least take the current directory out of the search.
  ::SetDllDirectoryA("");
}

// The manifest asks for version 6 of the common controls; loading it before the first
// dialog makes the standard controls take the system's visual style. It is looked up
// only now, after the DLL search is restricted, so no planted comctl32.dll is taken.
void LoadCommonControls() {
  typedef BOOL(WINAPI * InitCommonControlsExFn)(const INITCOMMONCONTROLSEX*);
  HMODULE comctl32 = ::LoadLibraryA("comctl32.dll");
  FARPROC proc = comctl32 ? ::GetProcAddress(comctl32, "InitCommonControlsEx") : nullptr;
  if (!proc) return;
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_STANDARD_CLASSES};
  reinterpret_cast<InitCommonControlsExFn>(reinterpret_cast<void (*)()>(proc))(&controls);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show) {
  RestrictDllSearchToSystem();
  LoadCommonControls();
  return AfxWinMain(instance, previous, commandLine, show);
}
