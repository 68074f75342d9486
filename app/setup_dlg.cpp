#include "app/setup_dlg.h"

#include "app/agreement_text.h"
#include "app/product_profiles.h"
#include "payload/embedded_payload.h"

BEGIN_MESSAGE_MAP(CSetupDlg, CDialog)
  ON_WM_PAINT()
  ON_WM_QUERYDRAGICON()
END_MESSAGE_MAP()

CSetupDlg::CSetupDlg(CWnd* parent) : CDialog(IDD, parent), m_strDirectory("") {
  m_hIcon = AfxGetApp()->LoadIcon(IDR_MAINFRAME);
}

void CSetupDlg::DoDataExchange(CDataExchange* pDX) {
  CDialog::DoDataExchange(pDX);
  DDX_Text(pDX, IDC_DIRECTORY, m_strDirectory);
}

BOOL CSetupDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  SetIcon(m_hIcon, TRUE);
  SetIcon(m_hIcon, FALSE);

  m_strSetupFile = ::GetCommandLineA();
  m_strSetupFile.Remove('"');
  CString upper = m_strSetupFile;
  upper.MakeUpper();

  if (const ProductProfile* profile = FindProductProfile(upper)) {
    m_strDirectory = CStringW(CString(profile->defaultDirectory));
    m_strProductName = profile->productName;
    m_chPackSelector = profile->packSelector;
    SetWindowText(profile->windowTitle);
  } else {
    CString message;
    message.Format("Invalid setup file name:%s", m_strSetupFile.GetString());
    AfxMessageBox(message, MB_OK);
    // The modal loop never starts; the rest of initialisation is harmless.
    EndDialog(0);
  }

  UpdateData(FALSE);
  AppendAgreementLines(m_agreementLines);
  return TRUE;
}

void CSetupDlg::OnPaint() {
  if (!IsIconic()) {
    CDialog::OnPaint();
    return;
  }
  CPaintDC dc(this);
  SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
  const int cxIcon = ::GetSystemMetrics(SM_CXICON);
  const int cyIcon = ::GetSystemMetrics(SM_CYICON);
  CRect rect;
  GetClientRect(&rect);
  const int x = (rect.Width() - cxIcon + 1) / 2;
  const int y = (rect.Height() - cyIcon + 1) / 2;
  dc.DrawIcon(x, y, m_hIcon);
}

void CSetupDlg::OnCancel() {
  // The window system may still deliver a close while the files are written: the
  // installation runs to its end, and the dialog closes after it.
  if (m_bInstalling) return;
  CDialog::OnCancel();
}

HCURSOR CSetupDlg::OnQueryDragIcon() { return static_cast<HCURSOR>(m_hIcon); }

int CSetupDlg::ExtractEmbeddedPayload(const CString& packFile) {
  return ::ExtractEmbeddedPayload(LocateSetupImage(), CStringW(packFile)).result;
}

int CSetupDlg::SavePayload(const BYTE* data, size_t size, const CString& packFile) {
  return ::SavePayload(data, size, CStringW(packFile));
}
