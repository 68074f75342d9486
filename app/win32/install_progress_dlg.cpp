#include "app/win32/install_progress_dlg.h"

CInstallProgressDlg::CInstallProgressDlg(CWnd* owner, const CStringW& packFile, const CStringW& directory,
                                         DWORD showAfterMs)
    : CDialog(IDD, owner), m_pOwner(owner), m_strPackFile(packFile), m_strDirectory(directory),
      m_showAfterMs(showAfterMs) {}

CInstallProgressDlg::~CInstallProgressDlg() { Close(); }

void CInstallProgressDlg::Open() {
  // A message box told before the window shows is owned by the disabled dialog, and
  // leaves it disabled.
  if (m_pOwner) ::EnableWindow(m_pOwner->m_hWnd, FALSE);
  m_openedAt = ::GetTickCount();
  m_bWorking = true;
  Answer(true);
}

void CInstallProgressDlg::Show() {
  m_bShowTried = true;
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
  ::InitCommonControlsEx(&controls);
  // Without its window the installation still runs, only without showing its progress.
  m_bOpen = Create(m_pOwner) != FALSE;
  if (m_bOpen) SetDlgItemText(IDC_PROGRESS_TEXT, m_strStage);
  m_position = -1;  // the new bar is to be set
}

void CInstallProgressDlg::Close() {
  // The owner first: activation goes back to it when this window goes.
  if (m_pOwner) ::EnableWindow(m_pOwner->m_hWnd, TRUE);
  if (m_bOpen) DestroyWindow();
  m_bOpen = false;
  m_bWorking = false;
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
  m_strStage = stage == InstallStage::kCopying ? L"Copying the archive to " + m_strPackFile
                                               : L"Unpacking the files into " + m_strDirectory;
  if (m_bOpen) SetDlgItemText(IDC_PROGRESS_TEXT, m_strStage);
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
  if (m_bWorking && !m_bShowTried && tick - m_openedAt >= m_showAfterMs) Show();
  // The bar moves only here: the control redraws itself at once on every new position,
  // and a redraw per piece written would cost more than the writing.
  // A stage that writes nothing is complete from its start.
  const int position = m_total == 0 ? kBarRange : int(m_done * kBarRange / m_total);
  if (m_bOpen && position != m_position) ::SendDlgItemMessageA(m_hWnd, IDC_PROGRESS_BAR, PBM_SETPOS, position, 0);
  m_position = position;
  AfxPumpWaitingMessages();
}
