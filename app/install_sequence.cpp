// What "OK/Save" does: have the agreement accepted, make sure the destination directory
// exists, name the pack file after the product, copy the embedded archive out to it,
// unpack it into the directory, report what was unpacked and offer a desktop shortcut.
#include "agreement/agreement_dlg.h"
#include "app/desktop_shortcut.h"
#include "app/install_progress_dlg.h"
#include "app/product_profiles.h"
#include "app/setup_dlg.h"
#include "payload/embedded_payload.h"
#include "payload/file_queries.h"
#include "payload/unpack_archive.h"
#include "platform/crt.h"

#include <vector>

namespace {

const char kVendorContact[] = "Problem in setup program. Please contact the vendor at support@tlvn-software.example";
// A message box shows no text at all beyond about 32,000 characters (seen under Wine), and
// no screen holds that many lines anyway: a longer report names the files up to here and
// says how many more there are.
const int kReportLimit = 30000;

// The report names every file by its true name, in a wide message box: a name the ANSI
// code page cannot hold is the name the user will find in the folder.
CStringW ReportOf(const std::vector<CStringW>& unpackedFiles) {
  CStringW report = L"Unpacked files:\n";
  size_t listed = 0;
  for (; listed < unpackedFiles.size(); ++listed) {
    const CStringW& path = unpackedFiles[listed];
    if (report.GetLength() + path.GetLength() + 1 > kReportLimit) break;
    report += path;
    report += L"\n";
  }
  if (listed < unpackedFiles.size()) {
    CString more;
    more.Format("and %d more files\n", int(unpackedFiles.size() - listed));
    report += CStringW(more);
  }
  return report;
}

// The profile's template ("%s\Galvery_pack.zip") with the directory put in, in wide text.
CStringW PackFilePath(const char* packFileTemplate, const CStringW& directory) {
  const CString tmpl(packFileTemplate);
  const int at = tmpl.Find("%s");
  if (at < 0) return CStringW(tmpl);
  return CStringW(tmpl.Left(at)) + directory + CStringW(tmpl.Mid(at + 2));
}

}  // namespace

void CSetupDlg::OnOK() {
  // The dialog is disabled while it installs; should a command reach it all the same,
  // one installation at a time.
  if (m_bInstalling) return;
  CAgreementDlg agreement(nullptr);
  agreement.m_pLines = &m_agreementLines;
  // Only an acceptance goes on: a dialog that could not even be shown (-1) was not
  // accepted either. The setup dialog stays open for another try.
  if (agreement.DoModal() != IDOK) return;

  UpdateData(TRUE);
  // Made absolute once, before anything is created: the installation changes the current
  // directory, after which a relative pack file path would point nowhere, and every
  // message, the report and the shortcut name the directory the user will look in.
  // Otherwise the directory is used as typed, a trailing backslash and all.
  m_strDirectory = FullPathOf(m_strDirectory);
  if (!DirectoryExists(m_strDirectory) && !::CreateDirectoryW(m_strDirectory, nullptr)) {
    AfxMessageBox(L"Can't create directory " + m_strDirectory, MB_OK);
    return;  // the dialog stays open for another try
  }
  const char* packFileTemplate = PackFileTemplateFor(m_chPackSelector);
  if (!packFileTemplate) return;  // no profile was chosen: the dialog never ran
  m_strPackFile = PackFilePath(packFileTemplate, m_strDirectory);

  m_bInstalling = true;
  const int installed = InstallFiles();
  m_bInstalling = false;
  if (installed == 1) {
    CString question;
    question.Format("Do you want to create a desktop shortcut icon for %s?", m_strProductName.GetString());
    if (AfxMessageBox(question, MB_YESNO) == IDYES && FAILED(CreateDesktopShortcut(m_strDirectory, m_strProductName))) {
      // The user asked for it: a shortcut that is not there must not go unmentioned.
      CString message;
      message.Format("Can't create the desktop shortcut %s.lnk", m_strProductName.GetString());
      AfxMessageBox(message, MB_OK);
    }
  }
  // Whatever the installation step gave, the setup is over.
  CDialog::OnOK();
}

int CSetupDlg::InstallFiles() {
  BeginWaitCursor();
  DeleteIfExists(m_strPackFile);
  // The dialog stays disabled under the progress window until the report.
  CInstallProgressDlg progress(this, m_strPackFile, m_strDirectory);
  progress.Open();
  const PayloadExtraction payload = ::ExtractEmbeddedPayload(LocateSetupImage(), m_strPackFile, &progress);
  if (!payload.result) {
    progress.Close();
    EndWaitCursor();
    return 0;
  }
  // A pack file that could neither be deleted nor rewritten is an earlier setup's
  // archive: unpacking it would install the wrong files and call that a success.
  if (!payload.packFileSaved && FileExists(m_strPackFile)) {
    progress.Close();
    EndWaitCursor();
    AfxMessageBox(L"The file " + m_strPackFile +
                      L" is left from an earlier setup and cannot be replaced. "
                      L"Please close the program that uses it, delete it and run setup again.",
                  MB_OK);
    return 0;
  }

  crt::wchdir(m_strDirectory);
  std::vector<CStringW> unpackedFiles;
  const int unpacked = UnpackArchive(m_strPackFile, m_strDirectory, unpackedFiles, &progress);
  const CStringW report = ReportOf(unpackedFiles);
  progress.Close();
  EndWaitCursor();
  AfxMessageBox(report, MB_OK);
  if (unpacked == 0) return 1;

  if (FileExists(m_strPackFile)) {
    AfxMessageBox(L"Problem in automatic unpacking. Please use 'My Computer' to locate file " + m_strPackFile +
                      L" in the\n" + m_strDirectory +
                      L" folder and use an unZIP program to unpack it. This produces the program file\n"
                      L"and its associated files.",
                  MB_OK);
    return 1;
  }
  AfxMessageBox(kVendorContact, MB_OK);
  return 0;
}
