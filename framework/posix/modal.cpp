#include "framework/modal.h"

// The stand-in never draws: a dialog ended during initialisation is never shown there.
INT_PTR AfxRunModalDialog(HINSTANCE instance, UINT templateId, HWND parent, DLGPROC proc, LPARAM param) {
  return ::DialogBoxParamA(instance, MAKEINTRESOURCEA(templateId), parent, proc, param);
}
