// lnk_probe SHORTCUT: loads a shell shortcut (.lnk) through the shell's own link object
// and prints what it holds, one "field value" line each, values as the link gives them:
//   path <GetPath>            the target as the shell resolves it
//   rawpath <GetPath RAW>     the target as stored
//   widepath <...>            the target as its item list names it (what Explorer follows),
//                             in UTF-8: a folder the ANSI code page cannot spell, which the
//                             link's ANSI path may show as question marks
//   description <...>
//   arguments <...>
//   workdir <...>
//   icon <location> <index>
//   hotkey <n>
//   showcmd <n>
// Exit status 0 when the shortcut loaded, 1 otherwise (the reason on stderr), 2 for usage.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cstdio>

namespace {

int Fail(const char* what, HRESULT hr) {
  std::fprintf(stderr, "lnk_probe: %s failed: 0x%08lX\n", what, static_cast<unsigned long>(hr));
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: lnk_probe SHORTCUT\n");
    return 2;
  }
  HRESULT hr = CoInitialize(nullptr);
  if (FAILED(hr)) return Fail("CoInitialize", hr);
  IShellLinkA* link = nullptr;
  hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                        reinterpret_cast<void**>(&link));
  if (FAILED(hr)) return Fail("CoCreateInstance", hr);
  IPersistFile* file = nullptr;
  hr = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
  if (FAILED(hr)) return Fail("QueryInterface(IPersistFile)", hr);
  WCHAR wide[MAX_PATH];
  if (!MultiByteToWideChar(CP_ACP, 0, argv[1], -1, wide, MAX_PATH)) return Fail("MultiByteToWideChar", E_FAIL);
  // A missing or unreadable file must fail here, not print an empty link.
  hr = file->Load(wide, STGM_READ);
  if (FAILED(hr)) return Fail("IPersistFile::Load", hr);

  char text[1024];
  int index = 0;
  WORD hotkey = 0;
  int show = 0;
  // Each getter's result is printed as well: a failing getter must not read as "empty".
  text[0] = '\0';
  hr = link->GetPath(text, sizeof text, nullptr, 0);
  std::printf("path %s\n", SUCCEEDED(hr) ? text : "(failed)");
  text[0] = '\0';
  hr = link->GetPath(text, sizeof text, nullptr, SLGP_RAWPATH);
  std::printf("rawpath %s\n", SUCCEEDED(hr) ? text : "(failed)");
  text[0] = '\0';
  WCHAR widePath[MAX_PATH] = L"";
  char utf8[MAX_PATH * 4] = "";
  PIDLIST_ABSOLUTE items = nullptr;
  hr = link->GetIDList(&items);
  if (SUCCEEDED(hr) && (!items || !SHGetPathFromIDListW(items, widePath))) hr = E_FAIL;
  CoTaskMemFree(items);
  if (SUCCEEDED(hr)) WideCharToMultiByte(CP_UTF8, 0, widePath, -1, utf8, sizeof utf8, nullptr, nullptr);
  std::printf("widepath %s\n", SUCCEEDED(hr) ? utf8 : "(failed)");
  text[0] = '\0';
  hr = link->GetDescription(text, sizeof text);
  std::printf("description %s\n", SUCCEEDED(hr) ? text : "(failed)");
  text[0] = '\0';
  hr = link->GetArguments(text, sizeof text);
  std::printf("arguments %s\n", SUCCEEDED(hr) ? text : "(failed)");
  text[0] = '\0';
  hr = link->GetWorkingDirectory(text, sizeof text);
  std::printf("workdir %s\n", SUCCEEDED(hr) ? text : "(failed)");
  text[0] = '\0';
  hr = link->GetIconLocation(text, sizeof text, &index);
  if (SUCCEEDED(hr)) std::printf("icon %s %d\n", text, index);
  else std::printf("icon (failed)\n");
  hr = link->GetHotkey(&hotkey);
  if (SUCCEEDED(hr)) std::printf("hotkey %u\n", hotkey);
  else std::printf("hotkey (failed)\n");
  hr = link->GetShowCmd(&show);
  if (SUCCEEDED(hr)) std::printf("showcmd %d\n", show);
  else std::printf("showcmd (failed)\n");

  file->Release();
  link->Release();
  CoUninitialize();
  return 0;
}
