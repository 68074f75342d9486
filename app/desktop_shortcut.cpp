#include "app/desktop_shortcut.h"

#include "platform/env.h"

#include <string>

namespace {
const int32_t kFailed = int32_t(0x80004005);          // E_FAIL
const int32_t kPathTooLong = int32_t(0x800700CE);     // HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE)
}  // namespace

int32_t CreateDesktopShortcut(CStringW directory, CString productName) {
  std::wstring desktop;
  if (Env().DesktopFolder(&desktop) != kSysOk || desktop.empty()) return kFailed;

  const CStringW product(productName);
  const CStringW target = directory + L"\\" + product + L".exe";
  const std::wstring shortcut = desktop + L"\\" + product.Str() + L".lnk";
  // Windows takes paths of MAX_PATH characters, the terminator included.
  if (shortcut.size() >= kMaxPath) return kPathTooLong;
  return Env().SaveShortcut(shortcut, target.Str(), product.Str());
}
