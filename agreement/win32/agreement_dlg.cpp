#include "agreement/win32/agreement_dlg.h"

#include "agreement/agreement_print.h"
#include "agreement/win32/dc_print_surface.h"
#include "agreement/text_wrap.h"
#include "framework/win32/afxdlgs.h"

BEGIN_MESSAGE_MAP(CAgreementDlg, CDialog)
  ON_BN_CLICKED(IDC_PRINT, &CAgreementDlg::OnPrint)
  ON_WM_PAINT()
  ON_WM_CTLCOLOR()
END_MESSAGE_MAP()

CAgreementDlg::CAgreementDlg(CWnd* pParent) : CDialog(IDD, pParent) {}

const CStringList& CAgreementDlg::Lines() const {
  static const CStringList kNone;
  return m_pLines ? *m_pLines : kNone;
}

BOOL CAgreementDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  m_pTextCtrl = GetDlgItem(IDC_AGREEMENT_TEXT);
  m_bTextShown = FALSE;
  if (m_pTextCtrl) {
    // The text box does not wrap (it scrolls sideways), so the lines are wrapped to its
    // width here. A fresh context of the box carries the system font, not the one the
    // box shows its text in: measured in that, the lines ran past the right edge (under
    // Wine) or fell short of it. The box's own font is measured instead.
    CClientDC dc(m_pTextCtrl);
    const CSelection shownFont(dc, reinterpret_cast<HGDIOBJ>(m_pTextCtrl->SendMessage(WM_GETFONT)));
    CRect client;
    m_pTextCtrl->GetClientRect(&client);
    // The text stands between the box's margins: a line as wide as the whole client
    // area would lose its last letter.
    const DWORD margins = DWORD(m_pTextCtrl->SendMessage(EM_GETMARGINS));
    const int width = client.Width() - LOWORD(margins) - HIWORD(margins);
    WrapTextToWidth(Lines(), m_wrappedLines, CDCTextMeasure(dc), width);
    JoinLines(m_wrappedLines, m_strText);
  }
  return TRUE;  // the focus goes to the first tab stop, the text box
}

void CAgreementDlg::OnPaint() {
  // The text goes in at the first paint, once the dialog is up and the focus placed.
  if (!m_bTextShown && m_pTextCtrl) {
    m_pTextCtrl->SetWindowText(m_strText);
    m_bTextShown = TRUE;
  }
  CDialog::OnPaint();
}

HBRUSH CAgreementDlg::OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor) {
  const HBRUSH brush = CDialog::OnCtlColor(pDC, pWnd, nCtlColor);
  // Black on white for the agreement's text, even in a read-only box drawn on the
  // dialog's face colour; the rest of the box keeps that colour.
  if (pWnd->GetDlgCtrlID() == IDC_AGREEMENT_TEXT) {
    pDC->SetTextColor(RGB(0, 0, 0));
    pDC->SetBkColor(RGB(255, 255, 255));
  }
  return brush;
}

void CAgreementDlg::OnPrint() {
  CPrintDialog printDialog(FALSE, PD_RETURNDC);
  // No default printer, or none that could be opened: there is nothing to print on.
  if (!printDialog.GetDefaults()) return;
  CDC dc;
  if (!dc.Attach(printDialog.GetPrinterDC())) return;
  CDCPrintSurface surface(dc);
  PrintAgreementLines(surface, Lines(), m_printLines);
}
