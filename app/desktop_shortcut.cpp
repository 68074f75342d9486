#include "app/desktop_shortcut.h"

HRESULT CreateDesktopShortcut(CString directory, CString productName) {
  char desktop[MAX_PATH] = "";
  if (!::SHGetSpecialFolderPathA(nullptr, desktop, CSIDL_DESKTOPDIRECTORY, FALSE)) return E_FAIL;

  CString target;
  target.Format("%s\\%s.exe", directory.GetString(), productName.GetString());
  CString shortcut;
  shortcut.Format("%s\\%s.lnk", desktop, productName.GetString());

  // Once is enough for the process; the result does not matter, a second call is fine.
  ::CoInitialize(nullptr);
  IShellLinkA* link = nullptr;
  HRESULT hr = ::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                  reinterpret_cast<void**>(&link));
  if (FAILED(hr)) return hr;

  link->SetPath(target);
  link->SetDescription(productName);

  IPersistFile* file = nullptr;
  hr = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
  if (FAILED(hr)) {
    link->Release();
    return hr;
  }

  // A path that does not fit leaves the wide buffer unterminated: saving to it would
  // write wherever the garbage points.
  WCHAR wide[MAX_PATH];
  if (::MultiByteToWideChar(CP_ACP, 0, shortcut, -1, wide, MAX_PATH) == 0) {
    const DWORD error = ::GetLastError();
    hr = error ? HRESULT_FROM_WIN32(error) : E_FAIL;
  } else {
    file->Save(wide, TRUE);
    hr = S_OK;
  }
  file->Release();
  link->Release();
  return hr;
}
