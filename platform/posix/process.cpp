// The process as the program sees it: its command line, its module file name, the ANSI
// code page. Tests set them through standin.h.
#include "platform/code_page.h"
#include "platform/posix/standin.h"

#include <cstring>
#include <string>

namespace {
std::string g_commandLine = "\"C:\\Setup.exe\"";
std::string g_moduleFileName = "C:\\Setup.exe";
UINT g_codePage = 1252;
}  // namespace

namespace standin {
void SetCommandLine(const std::string& commandLine) { g_commandLine = commandLine; }
void SetModuleFileName(const std::string& path) { g_moduleFileName = path; }
void SetAnsiCodePage(UINT codePage) { g_codePage = codePage; }
}  // namespace standin

LPSTR GetCommandLineA() { return g_commandLine.data(); }

DWORD GetModuleFileNameA(HMODULE, LPSTR buffer, DWORD size) {
  if (size == 0) return 0;
  const DWORD n = DWORD(std::min<size_t>(g_moduleFileName.size(), size - 1));
  std::memcpy(buffer, g_moduleFileName.data(), n);
  buffer[n] = '\0';
  return n;
}

HMODULE GetModuleHandleA(LPCSTR) { return reinterpret_cast<HMODULE>(0x400000); }

UINT GetACP() { return g_codePage; }

BOOL IsDBCSLeadByte(BYTE ch) { return IsLeadByteOfCodePage(g_codePage, ch) ? TRUE : FALSE; }
