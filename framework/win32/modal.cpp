#include "framework/win32/modal.h"

#include <cstring>
#include <vector>

// DialogBox shows a dialog whose template lacks WS_VISIBLE only when its modal loop
// starts, so a dialog ended during WM_INITDIALOG is never seen. With WS_VISIBLE in the
// template it would flash up on the screen before going away.
INT_PTR AfxRunModalDialog(HINSTANCE instance, UINT templateId, HWND parent, DLGPROC proc, LPARAM param) {
  HRSRC resource = ::FindResourceA(instance, MAKEINTRESOURCEA(templateId), MAKEINTRESOURCEA(5) /* RT_DIALOG */);
  HGLOBAL loaded = resource ? ::LoadResource(instance, resource) : nullptr;
  const void* data = loaded ? ::LockResource(loaded) : nullptr;
  const DWORD size = resource ? ::SizeofResource(instance, resource) : 0;
  if (!data || size < 18) {
    // Let the system report what is wrong with the template.
    return ::DialogBoxParamA(instance, MAKEINTRESOURCEA(templateId), parent, proc, param);
  }
  std::vector<DWORD> copy(size / 4 + 1);  // templates are DWORD-aligned
  std::memcpy(copy.data(), data, size);
  BYTE* bytes = reinterpret_cast<BYTE*>(copy.data());
  // DLGTEMPLATEEX starts with its version and the signature 0xFFFF, its style at 12;
  // the old DLGTEMPLATE starts with its style.
  const size_t styleOffset = bytes[2] == 0xFF && bytes[3] == 0xFF ? 12 : 0;
  DWORD style;
  std::memcpy(&style, bytes + styleOffset, sizeof style);
  style &= ~DWORD(WS_VISIBLE);
  std::memcpy(bytes + styleOffset, &style, sizeof style);
  return ::DialogBoxIndirectParamA(instance, reinterpret_cast<LPCDLGTEMPLATEA>(bytes), parent, proc, param);
}
