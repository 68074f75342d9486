// The setup dialog: picks the product from the command line, offers its default
// directory, and carries out the installation behind "OK/Save".
#pragma once

#include "framework/afxwin.h"
#include "res/resource.h"

class CSetupDlg : public CDialog {
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

  // One installation step into m_strDirectory: 1 when it went on to the end, 0 when
  // it stopped after a message.
  int InstallFiles();

 protected:
  void DoDataExchange(CDataExchange* pDX) override;
  BOOL OnInitDialog() override;
  void OnOK() override;
  void OnCancel() override;

  afx_msg void OnPaint();
  afx_msg HCURSOR OnQueryDragIcon();

  CString m_strSetupFile;    // the command line without its double quotes: picks the product
  char m_chPackSelector = 0;  // set when a profile is chosen
  CString m_strProductName;
  CStringW m_strPackFile;    // wide, as the directory it lies in
  CStringList m_agreementLines;
  // Exchanged with the directory box as typed, in whatever script: the wide calls create
  // it and write into it.
  CStringW m_strDirectory;
  HICON m_hIcon;
  bool m_bInstalling = false;  // InstallFiles is running: no second installation, no cancel

  DECLARE_MESSAGE_MAP()
};
