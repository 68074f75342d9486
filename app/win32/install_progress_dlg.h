// The small window an installation shows while it copies the archive out and unpacks it:
// what it does, and a bar that moves with the bytes written. Meanwhile the setup dialog
// is disabled, so that nothing in it can be pressed twice, and the program answers the
// window system as it works, so that none of its windows looks hung.
#pragma once

#include "framework/win32/afxwin.h"
#include "payload/install_progress.h"
#include "res/resource.h"

class CInstallProgressDlg : public CDialog, public CInstallProgress {
 public:
  enum { IDD = IDD_PROGRESS_DIALOG };
  // The bar's range: fine enough for any window width.
  static const int kBarRange = 1000;
  // The window system is answered, and the bar moved, at least this often.
  static const DWORD kAnswerEveryMs = 50;
  // The window shows once the installation has run this long. A shorter one is over
  // before a bar could tell anything, and opening and closing the window costs 10 to
  // 20 ms under Wine, a tenth of a 180 MiB installation's step; meanwhile the wait
  // cursor shows that it works.
  static const DWORD kShowAfterMs = 1000;

  CInstallProgressDlg(CWnd* owner, const CStringW& packFile, const CStringW& directory,
                      DWORD showAfterMs = kShowAfterMs);
  ~CInstallProgressDlg() override;

  // Disables `owner`; the window shows over it once the installation has run showAfterMs.
  void Open();
  // Enables the owner again and closes the window, if it showed. Before any report is shown.
  void Close();

  void BeginStage(InstallStage stage, uint64_t total) override;
  void Written(uint64_t done) override;

 protected:
  BOOL OnInitDialog() override;
  // Enter and Esc do nothing: the installation runs to its end.
  void OnOK() override {}
  void OnCancel() override {}

 private:
  void Answer(bool now);
  void Show();

  CWnd* m_pOwner;
  CStringW m_strPackFile;
  CStringW m_strDirectory;
  CStringW m_strStage;  // what the window says the installation does
  DWORD m_showAfterMs;
  DWORD m_openedAt = 0;
  uint64_t m_total = 0;
  uint64_t m_done = 0;
  int m_position = -1;
  DWORD m_lastAnswer = 0;
  bool m_bWorking = false;  // opened, and not yet closed
  bool m_bShowTried = false;
  bool m_bOpen = false;  // the window is there
};
