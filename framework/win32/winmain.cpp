// The Windows entry point. Before anything else, DLLs are restricted to the system
// directory: a setup program is started from a downloads folder, and a DLL planted
// beside it must never be loaded in its place.
#include "framework/afxwin.h"

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

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show) {
  RestrictDllSearchToSystem();
  return AfxWinMain(instance, previous, commandLine, show);
}
