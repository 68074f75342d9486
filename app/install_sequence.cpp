// What "OK/Save" does: make sure the destination directory exists, name the pack file
// after the product, and copy the embedded archive out to it.
#include "app/product_profiles.h"
#include "app/setup_dlg.h"
#include "payload/file_queries.h"

void CSetupDlg::OnOK() {
  UpdateData(TRUE);
  // The directory is used exactly as typed.
  if (!DirectoryExists(m_strDirectory) && !::CreateDirectoryA(m_strDirectory, nullptr)) {
    CString message;
    message.Format("Can't create directory %s", m_strDirectory.GetString());
    AfxMessageBox(message, MB_OK);
    return;  // the dialog stays open for another try
  }
  const char* packFileTemplate = PackFileTemplateFor(m_chPackSelector);
  if (!packFileTemplate) return;  // no profile was chosen: the dialog never ran
  m_strPackFile.Format(packFileTemplate, m_strDirectory.GetString());

  InstallFiles();
  CDialog::OnOK();
}

int CSetupDlg::InstallFiles() {
  BeginWaitCursor();
  DeleteIfExists(m_strPackFile);
  const int extracted = ExtractEmbeddedPayload(m_strPackFile);
  EndWaitCursor();
  return extracted ? 1 : 0;
}
