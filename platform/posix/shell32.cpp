// The desktop folder, COM and the shell link object for the Linux build. The link object
// writes a small text file in place of a real shortcut (its target and description on
// two lines) and records what it saved, so tests can check name, place and contents.
#include "platform/posix/shell_api.h"
#include "platform/posix/path.h"
#include "platform/utf8.h"
#include "platform/posix/standin_shell.h"

#include <cstdio>
#include <cstring>
#include <string>

const CLSID CLSID_ShellLink = {0x00021401, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IShellLinkW = {0x000214F9, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IPersistFile = {0x0000010B, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
static const IID kIID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

namespace {

std::string g_desktop;
bool g_shellLinkAvailable = true;
bool g_persistFileAvailable = true;
int g_comInitialisations = 0;
int g_liveObjects = 0;
std::vector<standin::ShortcutSaved> g_shortcuts;

class ShellLink final : public IShellLinkW, public IPersistFile {
 public:
  ShellLink() { ++g_liveObjects; }

  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (iid == IID_IShellLinkW || iid == kIID_IUnknown) {
      *object = static_cast<IShellLinkW*>(this);
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
  HRESULT SetPath(LPCWSTR file) override {
    target_ = posixpath::Utf8Of(file);
    return S_OK;
  }
  HRESULT SetDescription(LPCWSTR name) override {
    description_ = posixpath::Utf8Of(name);
    return S_OK;
  }
  HRESULT Save(LPCWSTR fileName, BOOL remember) override {
    const std::string path = posixpath::Utf8Of(fileName);
    FILE* f = std::fopen(posixpath::TranslateWide(fileName).c_str(), "wb");
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
  static_cast<IShellLinkW*>(link)->Release();
  return hr;
}

BOOL SHGetSpecialFolderPathW(HWND, LPWSTR path, int folder, BOOL) {
  const std::wstring desktop = WideFromUtf8(g_desktop);
  if (folder != CSIDL_DESKTOPDIRECTORY || desktop.empty() || desktop.size() >= MAX_PATH) return FALSE;
  std::memcpy(path, desktop.c_str(), (desktop.size() + 1) * sizeof(WCHAR));
  return TRUE;
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
