// The application object: runs the setup dialog modally and lets the process end when
// it closes.
#pragma once

#include "framework/win32/afxwin.h"

class CSetupApp : public CWinApp {
 public:
  CSetupApp() = default;
  ~CSetupApp() override = default;

  // Runs the setup dialog; always FALSE, so the framework runs no loop of its own.
  BOOL InitInstance() override;

  DECLARE_MESSAGE_MAP()
};
