#include "app/win32/setup_dlg.h"

#include "agreement/win32/agreement_dlg.h"
#include "payload/embedded_payload.h"
#include "platform/env.h"

BEGIN_MESSAGE_MAP(CSetupDlg, CDialog)
  ON_WM_PAINT()
  ON_WM_QUERYDRAGICON()
END_MESSAGE_MAP()

CSetupDlg::CSetupDlg(CWnd* parent) : CDialog(IDD, parent) { m_hIcon = AfxGetApp()->LoadIcon(IDR_MAINFRAME); }

void CSetupDlg::DoDataExchange(CDataExchange* pDX) {
  CDialog::DoDataExchange(pDX);
  DDX_Text(pDX, IDC_DIRECTORY, m_setup.m_strDirectory);
}

BOOL CSetupDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  SetIcon(m_hIcon, TRUE);
  SetIcon(m_hIcon, FALSE);
  if (const ProductProfile* profile = StartSetup(CString(Env().CommandLine().c_str()), m_setup)) {
    SetWindowText(profile->windowTitle);
  } else {
    // The modal loop never starts; the rest of initialisation is harmless.
    EndDialog(0);
  }
  UpdateData(FALSE);
  return TRUE;
}

void CSetupDlg::OnOK() {
  // The dialog is disabled while it installs; should a command reach it all the same,
  // one installation at a time.
  if (m_bInstalling) return;
  m_bInstalling = true;
  const bool over = RunInstallation(*this, m_setup);
  m_bInstalling = false;
  if (over) CDialog::OnOK();
}

int CSetupDlg::InstallFiles() { return ::InstallFiles(*this, m_setup); }

bool CSetupDlg::AgreementAccepted(const CStringList& lines) {
  CAgreementDlg agreement(nullptr);
  agreement.m_pLines = &lines;
  return agreement.DoModal() == IDOK;
}

CStringW CSetupDlg::TypedDirectory() {
  UpdateData(TRUE);
  return m_setup.m_strDirectory;
}

CInstallProgress& CSetupDlg::BeginWork(const CStringW& packFile, const CStringW& directory) {
  BeginWaitCursor();
  m_pProgress.reset(new CInstallProgressDlg(this, packFile, directory));
  m_pProgress->Open();
  return *m_pProgress;
}

void CSetupDlg::EndWork() {
  if (m_pProgress) m_pProgress->Close();
  m_pProgress.reset();
  EndWaitCursor();
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
