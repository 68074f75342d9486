// What "OK/Save" does: have the agreement accepted, make sure the destination directory
// exists, name the pack file after the product, copy the embedded archive out to it,
// unpack it into the directory, report what was unpacked and offer a desktop shortcut.
#include "app/install_sequence.h"

#include "app/agreement_text.h"
#include "app/desktop_shortcut.h"
#include "payload/embedded_payload.h"
#include "payload/file_queries.h"
#include "payload/install_room.h"
#include "payload/unpack_archive.h"
#include "platform/env.h"

#include <vector>

namespace {

const char kVendorContact[] = "Problem in setup program. Please contact the vendor at support@tlvn-software.example";
// A message box shows no text at all beyond about 32,000 characters (seen under Wine), and
// no screen holds that many lines anyway: a longer report names the files up to here and
// says how many more there are.
const int kReportLimit = 30000;
const int kMoreFilesRoom = 32;  // "and 2147483647 more files\n"

// The report names every file by its true name, in a wide message box: a name the ANSI
// code page cannot hold is the name the user will find in the folder.
CStringW ReportOf(const std::vector<CStringW>& unpackedFiles) {
  CStringW report = L"Unpacked files:\n";
  int whole = report.GetLength();
  for (const CStringW& path : unpackedFiles) whole += path.GetLength() + 1;
  // A list that does not fit keeps room for the line that says how many more there are.
  const int limit = whole <= kReportLimit ? kReportLimit : kReportLimit - kMoreFilesRoom;
  size_t listed = 0;
  for (; listed < unpackedFiles.size(); ++listed) {
    const CStringW& path = unpackedFiles[listed];
    if (report.GetLength() + path.GetLength() + 1 > limit) break;
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

void Tell(const CStringW& text) { Env().Tell(text.Str()); }
void Tell(const CString& text) { Tell(CStringW(text)); }

}  // namespace

const ProductProfile* StartSetup(const CString& commandLine, CSetupTarget& target) {
  target.m_strSetupFile = commandLine;
  target.m_strSetupFile.Remove('"');
  CString upper = target.m_strSetupFile;
  upper.MakeUpper();
  AppendAgreementLines(target.m_agreementLines);
  const ProductProfile* profile = FindProductProfile(upper);
  if (!profile) {
    CString message;
    message.Format("Invalid setup file name:%s", target.m_strSetupFile.GetString());
    Tell(message);
    return nullptr;
  }
  target.m_strDirectory = CStringW(CString(profile->defaultDirectory));
  target.m_strProductName = profile->productName;
  target.m_chPackSelector = profile->packSelector;
  return profile;
}

bool RunInstallation(CSetupScreens& screens, CSetupTarget& target) {
  // Only an acceptance goes on. The setup dialog stays open for another try.
  if (!screens.AgreementAccepted(target.m_agreementLines)) return false;

  target.m_strDirectory = screens.TypedDirectory();
  // Made absolute once, before anything is created: the installation changes the current
  // directory, after which a relative pack file path would point nowhere, and every
  // message, the report and the shortcut name the directory the user will look in.
  // Otherwise the directory is used as typed, a trailing backslash and all.
  target.m_strDirectory = FullPathOf(target.m_strDirectory);
  const char* packFileTemplate = PackFileTemplateFor(target.m_chPackSelector);
  if (!packFileTemplate) return false;  // no profile was chosen: the dialog never ran
  target.m_strPackFile = PackFilePath(packFileTemplate, target.m_strDirectory);

  // Before anything is written: a setup file cut short or damaged in its structure ends
  // the setup here, and a disk without room for it leaves the dialog open for another
  // directory. Checked here rather than at start, so that the file checked is the file
  // copied a moment later, and its central directory is read once for both (once more
  // only when the room is tight over an installed version).
  const bool directoryExists = DirectoryExists(target.m_strDirectory) != 0;
  // First counted as a fresh installation, which needs the most room and no look-ups.
  CInstallRoom room(target.m_strDirectory, false);
  if (!SetupFileIsWhole(LocateSetupImage(), &target.m_payload, &CInstallRoom::Visit, &room)) return true;
  uint64_t freeBytes = 0;
  uint64_t needed = room.Needed(target.m_payload, target.m_strPackFile);
  const bool measured = target.m_payload.fileSize != 0 && FreeRoomFor(target.m_strDirectory, &freeBytes);
  if (measured && freeBytes < needed && directoryExists) {
    // Too little for that: the earlier versions the files replace give their room back,
    // each found by a look-up in the directory, a cost paid only now.
    CInstallRoom over(target.m_strDirectory, true);
    if (!SetupFileIsWhole(LocateSetupImage(), &target.m_payload, &CInstallRoom::Visit, &over)) return true;
    needed = over.Needed(target.m_payload, target.m_strPackFile);
  }
  if (measured && freeBytes < needed) {
    CString sizes;
    sizes.Format(": the installation needs %s, and %s are free. Please make room, or choose another directory.",
                 MegabytesOf(needed).GetString(), MegabytesOf(freeBytes).GetString());
    Tell(L"Not enough room on the disk for " + target.m_strDirectory + CStringW(sizes));
    return false;  // the dialog stays open for another try
  }

  if (!directoryExists && Env().CreateFolder(target.m_strDirectory.Str()) != kSysOk) {
    Tell(L"Can't create directory " + target.m_strDirectory);
    return false;  // the dialog stays open for another try
  }

  if (InstallFiles(screens, target) == 1) {
    CString question;
    question.Format("Do you want to create a desktop shortcut icon for %s?", target.m_strProductName.GetString());
    if (Env().Ask(CStringW(question).Str()) && CreateDesktopShortcut(target.m_strDirectory, target.m_strProductName) < 0) {
      // The user asked for it: a shortcut that is not there must not go unmentioned.
      CString message;
      message.Format("Can't create the desktop shortcut %s.lnk", target.m_strProductName.GetString());
      Tell(message);
    }
  }
  // Whatever the installation step gave, the setup is over.
  return true;
}

int InstallFiles(CSetupScreens& screens, const CSetupTarget& target) {
  DeleteIfExists(target.m_strPackFile);
  // The dialog stays disabled under the progress window until the report.
  CInstallProgress& progress = screens.BeginWork(target.m_strPackFile, target.m_strDirectory);
  const PayloadExtraction payload = ExtractEmbeddedPayload(LocateSetupImage(), target.m_strPackFile, &progress, &target.m_payload);
  if (!payload.result) {
    screens.EndWork();
    return 0;
  }
  // A pack file that could neither be deleted nor rewritten is an earlier setup's
  // archive: unpacking it would install the wrong files and call that a success.
  if (!payload.packFileSaved && FileExists(target.m_strPackFile)) {
    screens.EndWork();
    Tell(L"The file " + target.m_strPackFile +
         L" is left from an earlier setup and cannot be replaced. "
         L"Please close the program that uses it, delete it and run setup again.");
    return 0;
  }

  Env().SetCurrentFolder(target.m_strDirectory.Str());
  std::vector<CStringW> unpackedFiles;
  const int unpacked = UnpackArchive(target.m_strPackFile, target.m_strDirectory, unpackedFiles, &progress);
  const CStringW report = ReportOf(unpackedFiles);
  screens.EndWork();
  Tell(report);
  if (unpacked == 0) return 1;

  if (FileExists(target.m_strPackFile)) {
    Tell(L"Problem in automatic unpacking. Please use 'My Computer' to locate file " + target.m_strPackFile +
         L" in the\n" + target.m_strDirectory +
         L" folder and use an unZIP program to unpack it. This produces the program file\n"
         L"and its associated files.");
    return 1;
  }
  Tell(CString(kVendorContact));
  return 0;
}
