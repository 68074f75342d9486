#include "app/win32/setup_app.h"

#include "app/win32/setup_dlg.h"

BEGIN_MESSAGE_MAP(CSetupApp, CWinApp)
  ON_COMMAND(ID_HELP, &CWinApp::OnHelp)
END_MESSAGE_MAP()

BOOL CSetupApp::InitInstance() {
  Enable3dControlsStatic();
  CSetupDlg dlg;
  m_pMainWnd = &dlg;
  // Cancel, a refused setup file name and a finished installation all end alike.
  dlg.DoModal();
  m_pMainWnd = nullptr;
  return FALSE;
}
