// The desktop folder, COM and the shell link object for the Linux build. The link object
// writes a small text file in place of a real shortcut (its target and description on
// two lines) and records what it saved, so tests can check name, place and contents.
#include "platform/posix/shell_api.h"
#include "platform/posix/path.h"
#include "platform/posix/standin_shell.h"

#include <cstdio>
#include <cstring>
#include <string>

const CLSID CLSID_ShellLink = {0x00021401, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IShellLinkA = {0x000214EE, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IPersistFile = {0x0000010B, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
static const IID kIID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

namespace {

std::string g_desktop;
bool g_shellLinkAvailable = true;
bool g_persistFileAvailable = true;
int g_comInitialisations = 0;
int g_liveObjects = 0;
std::vector<standin::ShortcutSaved> g_shortcuts;

// Wide strings are UTF-32 here (wchar_t), file names UTF-8.
std::string Utf8Of(const WCHAR* text) {
  std::string out;
  for (const WCHAR* p = text; *p; ++p) {
    const uint32_t c = uint32_t(*p);
    if (c < 0x80) {
      out += char(c);
    } else if (c < 0x800) {
      out += char(0xC0 | c >> 6);
      out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += char(0xE0 | c >> 12);
      out += char(0x80 | (c >> 6 & 0x3F));
      out += char(0x80 | (c & 0x3F));
    } else {
      out += char(0xF0 | c >> 18);
      out += char(0x80 | (c >> 12 & 0x3F));
      out += char(0x80 | (c >> 6 & 0x3F));
      out += char(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::wstring WideOf(const std::string& utf8) {
  std::wstring out;
  for (size_t i = 0; i < utf8.size();) {
    const unsigned char c = static_cast<unsigned char>(utf8[i]);
    const int n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    uint32_t v = n == 1 ? c : n == 2 ? c & 0x1F : n == 3 ? c & 0x0F : c & 0x07;
    for (int k = 1; k < n && i + size_t(k) < utf8.size(); ++k) v = v << 6 | (utf8[i + size_t(k)] & 0x3F);
    out += WCHAR(v);
    i += size_t(n);
  }
  return out;
}

class ShellLink final : public IShellLinkA, public IPersistFile {
 public:
  ShellLink() { ++g_liveObjects; }

  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (iid == IID_IShellLinkA || iid == kIID_IUnknown) {
      *object = static_cast<IShellLinkA*>(this);
    } else if (iid == IID_IPersistFile && g_persistFileAvailable) {
      *object = static_cast<IPersistFile*>(this);
    } else {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override {
    const ULONG left = --refs_;
    if (left == 0) {
      --g_liveObjects;
      delete this;
    }
    return left;
  }
  HRESULT SetPath(LPCSTR file) override {
    target_ = file ? file : "";
    return S_OK;
  }
  HRESULT SetDescription(LPCSTR name) override {
    description_ = name ? name : "";
    return S_OK;
  }
  HRESULT Save(LPCWSTR fileName, BOOL remember) override {
    const std::string path = Utf8Of(fileName);
    FILE* f = std::fopen(posixpath::Translate(path.c_str()).c_str(), "wb");
    if (!f) return E_FAIL;
    std::fprintf(f, "%s\n%s\n", target_.c_str(), description_.c_str());
    std::fclose(f);
    g_shortcuts.push_back({path, target_, description_, remember != FALSE});
    return S_OK;
  }

 private:
  ~ShellLink() = default;
  ULONG refs_ = 1;
  std::string target_, description_;
};

}  // namespace

HRESULT CoInitialize(LPVOID) { return ++g_comInitialisations == 1 ? S_OK : S_FALSE; }

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid, LPVOID* object) {
  *object = nullptr;
  if (g_comInitialisations == 0) return HRESULT(0x800401F0L);  // CO_E_NOTINITIALIZED
  if (!(clsid == CLSID_ShellLink) || outer || !(context & CLSCTX_INPROC_SERVER) || !g_shellLinkAvailable)
    return REGDB_E_CLASSNOTREG;
  ShellLink* link = new ShellLink;
  const HRESULT hr = link->QueryInterface(iid, object);
  static_cast<IShellLinkA*>(link)->Release();
  return hr;
}

BOOL SHGetSpecialFolderPathW(HWND, LPWSTR path, int folder, BOOL) {
  const std::wstring desktop = WideOf(g_desktop);
  if (folder != CSIDL_DESKTOPDIRECTORY || desktop.empty() || desktop.size() >= MAX_PATH) return FALSE;
  std::memcpy(path, desktop.c_str(), (desktop.size() + 1) * sizeof(WCHAR));
  return TRUE;
}

int MultiByteToWideChar(UINT, DWORD, LPCSTR text, int length, LPWSTR wide, int wideLength) {
  const int n = length < 0 ? int(std::strlen(text)) + 1 : length;
  if (wideLength == 0) return n;
  if (n > wideLength) {
    SetLastError(122);  // ERROR_INSUFFICIENT_BUFFER
    return 0;
  }
  for (int i = 0; i < n; ++i) wide[i] = WCHAR(static_cast<unsigned char>(text[i]));
  return n;
}

namespace standin {

void SetDesktopDirectory(const std::string& path) { g_desktop = path; }
void SetShellLinkAvailable(bool shellLink, bool persistFile) {
  g_shellLinkAvailable = shellLink;
  g_persistFileAvailable = persistFile;
}
int ComInitialisations() { return g_comInitialisations; }
int LiveShellObjects() { return g_liveObjects; }
const std::vector<ShortcutSaved>& Shortcuts() { return g_shortcuts; }
void ResetShell() {
  g_shortcuts.clear();
  g_comInitialisations = 0;
  g_shellLinkAvailable = g_persistFileAvailable = true;
}

}  // namespace standin
