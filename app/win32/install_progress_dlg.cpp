#include "app/win32/install_progress_dlg.h"

CInstallProgressDlg::CInstallProgressDlg(CWnd* owner, const CStringW& packFile, const CStringW& directory)
    : CDialog(IDD, owner), m_pOwner(owner), m_strPackFile(packFile), m_strDirectory(directory) {}

CInstallProgressDlg::~CInstallProgressDlg() { Close(); }

void CInstallProgressDlg::Open() {
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
  ::InitCommonControlsEx(&controls);
  // Without its window the installation still runs, only without showing its progress.
  m_bOpen = Create(m_pOwner) != FALSE;
  if (m_pOwner) ::EnableWindow(m_pOwner->m_hWnd, FALSE);
  Answer(true);
}

void CInstallProgressDlg::Close() {
  // The owner first: activation goes back to it when this window goes.
  if (m_pOwner) ::EnableWindow(m_pOwner->m_hWnd, TRUE);
  if (m_bOpen) DestroyWindow();
  m_bOpen = false;
  m_pOwner = nullptr;
}

BOOL CInstallProgressDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  if (m_pOwner) {
    CString caption;
    m_pOwner->GetWindowText(caption);
    SetWindowText(caption);
  }
  ::SendDlgItemMessageA(m_hWnd, IDC_PROGRESS_BAR, PBM_SETRANGE32, 0, kBarRange);
  return TRUE;
}

void CInstallProgressDlg::BeginStage(InstallStage stage, uint64_t total) {
  m_total = total;
  m_position = -1;
  const CStringW text = stage == InstallStage::kCopying ? L"Copying the archive to " + m_strPackFile
                                                       : L"Unpacking the files into " + m_strDirectory;
  if (m_bOpen) SetDlgItemText(IDC_PROGRESS_TEXT, text);
  m_done = 0;
  Answer(true);
}

void CInstallProgressDlg::Written(uint64_t done) {
  m_done = done;
  Answer(false);
}

void CInstallProgressDlg::Answer(bool now) {
  const DWORD tick = ::GetTickCount();
  if (!now && tick - m_lastAnswer < kAnswerEveryMs) return;
  m_lastAnswer = tick;
  // The bar moves only here: the control redraws itself at once on every new position,
  // and a redraw per piece written would cost more than the writing.
  // A stage that writes nothing is complete from its start.
  const int position = m_total == 0 ? kBarRange : int(m_done * kBarRange / m_total);
  if (m_bOpen && position != m_position) ::SendDlgItemMessageA(m_hWnd, IDC_PROGRESS_BAR, PBM_SETPOS, position, 0);
  m_position = position;
  AfxPumpWaitingMessages();
}
