// What the setup program can read, judged on an archive's layout: the end record, every
// central and local header, every entry's name and data, and runs of 0x55 bytes. Every
// defect found is reported, not only the first.
#pragma once

#include "tools/marker_byte_runs.h"
#include "tools/zip_layout.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace mksetup {

struct Finding {
  bool defect;  // false: a warning, which does not stop a build
  int entry;    // the entry concerned, or -1
  std::string message;
  bool markerRun = false;  // the defect is a run of 0x55 bytes (see ArchiveCheck::runs)
};

struct ArchiveCheck {
  std::vector<EntryInfo> entries;
  std::vector<Finding> findings;
  std::vector<MarkerRun> runs;
  size_t endRecord = kNowhere;  // the end-of-central-directory record, when found
  size_t zip64EndRecord = kNowhere;  // the ZIP64 one minizip reads the archive by, if any
  size_t archiveEnd = 0;        // behind the end record and its comment
  std::string comment;
  // The seal at the end of the comment (archive/archive_seal.h), when it has one; the CRC-32
  // it gives and, when checked, the CRC-32 of the bytes it covers.
  bool sealed = false;
  bool sealChecked = false;
  uint32_t sealCrc = 0, actualCrc = 0;
  bool SealHolds() const { return sealed && sealChecked && sealCrc == actualCrc; }
  bool HasDefects() const;
};

// The code page names are read in unless told otherwise: the Western one, byte by byte.
const unsigned kWesternCodePage = 1252;

struct CheckOptions {
  bool readData = true;           // inflate every entry, check its size and CRC-32
  bool refuseDuplicates = false;  // two entries that install as one file: a defect, not a warning
  // In a signed setup file, where the certificate table starts in the bytes checked;
  // up to 7 zero bytes of padding may stand between the archive and it.
  size_t signatureAt = kNowhere;
  unsigned codePage = kWesternCodePage;  // the users' ANSI code page the names are read in
  // The runs of 0x55 bytes in the source, when a pass over it found them already.
  const std::vector<std::pair<size_t, size_t>>* knownRuns = nullptr;
  // Read the bytes a seal covers and compare their CRC-32 with it: one more pass over the
  // archive, in pieces. The writer, which knows the seal it wrote, needs none.
  bool checkSeal = true;
};

// Checks the bytes that the setup program writes to the pack file: the archive, and in a
// signed setup file the certificate table behind it.
ArchiveCheck CheckArchive(const ByteSource& source, const CheckOptions& options);
ArchiveCheck CheckArchive(const uint8_t* data, size_t size, const CheckOptions& options);

// How the setup program reads the entry's name, as archive/name_encoding.h decides it
// from the central record, and what it installs as: fills the entry's name fields, a
// name of the code page read in `codePage`.
// An unflagged name of a DOS-like host is read in the OEM code page that goes with
// `codePage` (name_text.h).
void ReadEntryName(EntryInfo& entry, unsigned codePage);
// The code page an entry's name is read in, for `codePage` the users' ANSI one; and
// whether its name is bytes of a code page at all.
unsigned NameCodePage(const EntryInfo& entry, unsigned codePage);
bool IsCodePageName(const EntryInfo& entry);

// What a path installs as: its final component, read in `codePage`.
std::string InstallName(const std::string& storedName, unsigned codePage = kWesternCodePage);

// Why a file of this name must not be created in the install directory, or the empty
// text when it is a plain file name there: a name of the code page, and a name decoded
// from UTF-8.
std::string UnsafeNameReason(const std::string& baseName, unsigned codePage = kWesternCodePage);
std::string UnsafeNameReason(std::wstring_view baseName);

}  // namespace mksetup
