// The framework's common dialogs: the print dialog, used here only to find the default
// printer without showing anything.
#pragma once

#include "framework/win32/afxwin.h"

class CPrintDialog {
 public:
  explicit CPrintDialog(BOOL bPrintSetupOnly,
                        DWORD dwFlags = PD_ALLPAGES | PD_USEDEVMODECOPIES | PD_NOPAGENUMS | PD_HIDEPRINTTOFILE |
                                        PD_NOSELECTION,
                        CWnd* pParentWnd = nullptr);
  // Frees the printer settings; a device context from GetPrinterDC is the caller's.
  virtual ~CPrintDialog();
  CPrintDialog(const CPrintDialog&) = delete;
  CPrintDialog& operator=(const CPrintDialog&) = delete;

  // Fills m_pd with the default printer's settings (and, with PD_RETURNDC, a device
  // context) without showing the dialog. FALSE when there is no default printer.
  BOOL GetDefaults();
  // The printer context that PD_RETURNDC produced, or null. The caller deletes it.
  HDC GetPrinterDC() const { return m_pd.hDC; }

  PRINTDLGA m_pd;
};
