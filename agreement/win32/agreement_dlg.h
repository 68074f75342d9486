// The license agreement, shown word-wrapped in a read-only text box before anything is
// installed; it ends with IDOK when the user accepts and IDCANCEL otherwise, and "Print"
// prints it on the default printer.
#pragma once

#include "framework/win32/afxwin.h"
#include "res/resource.h"

class CAgreementDlg : public CDialog {
 public:
  enum { IDD = IDD_AGREEMENT_DIALOG };

  explicit CAgreementDlg(CWnd* pParent = nullptr);
  ~CAgreementDlg() override = default;

  CWnd* m_pTextCtrl = nullptr;
  // The caller's agreement lines, set before the dialog runs; it outlives the dialog.
  // Left null, the agreement is empty.
  const CStringList* m_pLines = nullptr;
  CString m_strText;            // the wrapped lines joined for the text box
  CStringList m_wrappedLines;   // wrapped to the text box
  CStringList m_printLines;     // wrapped for the printer, anew at every print
  BOOL m_bTextShown = FALSE;

 protected:
  BOOL OnInitDialog() override;

  afx_msg void OnPrint();
  afx_msg void OnPaint();
  afx_msg HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor);

  DECLARE_MESSAGE_MAP()

 private:
  const CStringList& Lines() const;
};
