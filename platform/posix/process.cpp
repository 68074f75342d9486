// The process as the program sees it: its command line, its module file name, the ANSI
// code page. Tests set them through standin.h.
#include "platform/code_page.h"
#include "platform/posix/path.h"
#include "platform/utf8.h"
#include "platform/posix/standin.h"

#include <chrono>
#include <cstring>
#include <string>

namespace {
std::string g_commandLine = "\"C:\\Setup.exe\"";
std::string g_moduleFileName = "C:\\Setup.exe";  // UTF-8, as Linux names files
UINT g_codePage = 1252;
}  // namespace

namespace standin {
void SetCommandLine(const std::string& commandLine) { g_commandLine = commandLine; }
void SetModuleFileName(const std::string& path) { g_moduleFileName = path; }
void SetAnsiCodePage(UINT codePage) { g_codePage = codePage; }
}  // namespace standin

LPSTR GetCommandLineA() { return g_commandLine.data(); }

namespace {

// As Windows fills a module name buffer: a name that does not fit is cut to size - 1
// characters and terminated, the size returned, ERROR_INSUFFICIENT_BUFFER set.
template <typename Char>
DWORD Deliver(const std::basic_string<Char>& name, Char* buffer, DWORD size) {
  if (size == 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  const bool fits = name.size() < size;
  const DWORD n = fits ? DWORD(name.size()) : size - 1;
  std::memcpy(buffer, name.data(), n * sizeof(Char));
  buffer[n] = Char(0);
  SetLastError(fits ? ERROR_SUCCESS : ERROR_INSUFFICIENT_BUFFER);
  return fits ? n : size;
}

}  // namespace

DWORD GetModuleFileNameW(HMODULE, LPWSTR buffer, DWORD size) {
  return Deliver(WideFromUtf8(g_moduleFileName), buffer, size);
}

DWORD GetTickCount() {
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  return DWORD(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

HMODULE GetModuleHandleA(LPCSTR) { return reinterpret_cast<HMODULE>(0x400000); }

UINT GetACP() { return g_codePage; }

BOOL IsDBCSLeadByte(BYTE ch) { return IsLeadByteOfCodePage(g_codePage, ch) ? TRUE : FALSE; }
