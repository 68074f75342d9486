// What the installation asks of the windows it runs in: the setup dialog on Windows, a
// fake in the tests. Messages and questions go through the environment (env.h).
#pragma once

#include "framework/afxstr.h"
#include "payload/install_progress.h"

class CSetupScreens {
 public:
  virtual ~CSetupScreens() = default;
  // Runs the license agreement over `lines`: true only when the user accepted it (a
  // dialog that could not even be shown was not accepted either).
  virtual bool AgreementAccepted(const CStringList& lines) = 0;
  // The directory box's text as typed, in whatever script.
  virtual CStringW TypedDirectory() = 0;
  // The work begins: the wait cursor, and a window that shows `progress` of the copy to
  // `packFile` and the unpacking into `directory` over the disabled setup dialog, which
  // then cannot be pressed twice. What hears of the progress.
  virtual CInstallProgress& BeginWork(const CStringW& packFile, const CStringW& directory) = 0;
  // The work is over, before any report: the window goes, the dialog can be used again,
  // the arrow comes back.
  virtual void EndWork() = 0;
};
