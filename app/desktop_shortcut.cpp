#include "app/desktop_shortcut.h"

#include <string>

namespace {

// The desktop folder by the wide-character call: the ANSI one gives "?" for every
// character of a user name outside the code page, a folder that does not exist.
bool DesktopDirectory(std::wstring* desktop) {
  WCHAR path[MAX_PATH] = L"";
  if (!::SHGetSpecialFolderPathW(nullptr, path, CSIDL_DESKTOPDIRECTORY, FALSE)) return false;
  *desktop = path;
  return !desktop->empty();
}

}  // namespace

HRESULT CreateDesktopShortcut(CStringW directory, CString productName) {
  std::wstring desktop;
  if (!DesktopDirectory(&desktop)) return E_FAIL;

  const CStringW product(productName);
  const CStringW target = directory + L"\\" + product + L".exe";
  const std::wstring shortcut = desktop + L"\\" + product.Str() + L".lnk";
  // Windows takes paths of MAX_PATH characters, the terminator included.
  if (shortcut.size() >= MAX_PATH) return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);

  // Once is enough for the process; the result does not matter, a second call is fine.
  ::CoInitialize(nullptr);
  // The wide interface: the target may lie in a folder the ANSI code page cannot spell.
  IShellLinkW* link = nullptr;
  HRESULT hr = ::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  reinterpret_cast<void**>(&link));
  if (FAILED(hr)) return hr;

  // A shortcut without its target would be worse than none.
  hr = link->SetPath(target);
  link->SetDescription(product);

  IPersistFile* file = nullptr;
  const HRESULT queried = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
  if (FAILED(queried)) {
    link->Release();
    return queried;
  }
  if (SUCCEEDED(hr)) hr = file->Save(shortcut.c_str(), TRUE);
  file->Release();
  link->Release();
  return FAILED(hr) ? hr : S_OK;
}
