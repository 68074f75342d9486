// The setup dialog: picks the product from the command line, offers its default
// directory, and carries out the installation behind "OK/Save" (install_sequence.h)
// as the screens it runs in.
#pragma once

#include "app/install_sequence.h"
#include "app/setup_screens.h"
#include "app/win32/install_progress_dlg.h"
#include "framework/win32/afxwin.h"
#include "res/resource.h"

#include <memory>

class CSetupDlg : public CDialog, public CSetupScreens {
 public:
  enum { IDD = IDD_SETUP_DIALOG };

  explicit CSetupDlg(CWnd* parent = nullptr);
  ~CSetupDlg() override = default;

  // Reads the running setup file (found through the module path, not the command line)
  // and writes the archive behind its second marker to `packFile`. 0 when the setup
  // file could not be sized, opened or read (after a message); 1 otherwise, whether or
  // not a payload was found and written. (The work is payload/'s; see embedded_payload.h.)
  int ExtractEmbeddedPayload(const CString& packFile);
  // Scans `data` for the marker and writes what follows the second occurrence to
  // `packFile`. 1 when the pack file was written whole; 0 after a message otherwise.
  int SavePayload(const BYTE* data, size_t size, const CString& packFile);

  // One installation step into the directory: 1 when it went on to the end, 0 when it
  // stopped after a message.
  int InstallFiles();

  // ---- the screens the installation runs in ----
  bool AgreementAccepted(const CStringList& lines) override;
  CStringW TypedDirectory() override;
  CInstallProgress& BeginWork(const CStringW& packFile, const CStringW& directory) override;
  void EndWork() override;

 protected:
  void DoDataExchange(CDataExchange* pDX) override;
  BOOL OnInitDialog() override;
  void OnOK() override;
  void OnCancel() override;

  afx_msg void OnPaint();
  afx_msg HCURSOR OnQueryDragIcon();

  // The product, the directory (exchanged with the directory box as typed, in whatever
  // script: the wide calls create it and write into it), the pack file, the agreement.
  CSetupTarget m_setup;
  HICON m_hIcon;
  bool m_bInstalling = false;  // InstallFiles is running: no second installation, no cancel
  std::unique_ptr<CInstallProgressDlg> m_pProgress;

  DECLARE_MESSAGE_MAP()
};
