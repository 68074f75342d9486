#include "framework/win32/afxdlgs.h"

#include <cstring>

CPrintDialog::CPrintDialog(BOOL bPrintSetupOnly, DWORD dwFlags, CWnd* pParentWnd) {
  std::memset(&m_pd, 0, sizeof m_pd);
  m_pd.lStructSize = sizeof m_pd;
  m_pd.Flags = dwFlags | (bPrintSetupOnly ? PD_PRINTSETUP : 0);
  m_pd.hwndOwner = pParentWnd ? pParentWnd->GetSafeHwnd() : nullptr;
  m_pd.nCopies = 1;
}

CPrintDialog::~CPrintDialog() {
  if (m_pd.hDevMode) ::GlobalFree(m_pd.hDevMode);
  if (m_pd.hDevNames) ::GlobalFree(m_pd.hDevNames);
}

BOOL CPrintDialog::GetDefaults() {
  // PrintDlg refuses PD_RETURNDEFAULT while it still holds settings.
  if (m_pd.hDevMode) m_pd.hDevMode = ::GlobalFree(m_pd.hDevMode);
  if (m_pd.hDevNames) m_pd.hDevNames = ::GlobalFree(m_pd.hDevNames);
  m_pd.Flags |= PD_RETURNDEFAULT;
  const BOOL found = ::PrintDlgA(&m_pd);
  m_pd.Flags &= ~PD_RETURNDEFAULT;
  return found;
}
