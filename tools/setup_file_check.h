// What the setup program can read, checked byte by byte: the archive inside a setup file
// (its end record found the way minizip finds it, every central and local header, every
// entry's data) and the setup file around it (the markers, a signature behind the
// archive, the product its name selects). Every length and offset is checked against the
// bytes that are there before it is used, and every defect found is reported, not only
// the first. Shared by mksetup's build, list and verify.
#pragma once

#include "app/product_profiles.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace mksetup {

const size_t kNowhere = SIZE_MAX;

struct Finding {
  bool defect;  // false: a warning, which does not stop a build
  int entry;    // the entry concerned, or -1
  std::string message;
  bool markerRun = false;  // the defect is a run of 0x55 bytes (see ArchiveCheck::runs)
};

// One field of the archive's layout, to say where a run of 0x55 bytes lies.
struct Field {
  size_t offset;
  size_t length;
  int entry;         // -1: the end record, or bytes that belong to no entry
  std::string what;  // "CRC-32 (local header)", "data" ...
  // Compressed data and compressed sizes: deflating the entry again changes them.
  bool changesWithCompression;
};

// Eight or more 0x55 bytes in a row: the setup program would count a marker in them.
struct MarkerRun {
  size_t offset;
  size_t length;
  std::vector<Field> fields;  // the fields it touches, in file order
};

struct EntryInfo {
  std::string name;      // as the central directory stores it
  std::string baseName;  // what it installs as: the text after its last / or backslash
  uint16_t versionMadeBy = 0, versionNeeded = 0, flags = 0, method = 0, dosTime = 0, dosDate = 0;
  uint16_t internal = 0;
  uint32_t crc = 0, compressedSize = 0, uncompressedSize = 0, external = 0;
  std::string localExtra, centralExtra, comment;
  size_t localOffset = 0;   // the local header, in the bytes checked
  size_t dataOffset = 0;    // the first byte of the stored data
  bool dataInBounds = false;  // local header read and [dataOffset, +compressedSize) present
  bool hasModTime = false;  // the local "UT" block gives a modification time
  int32_t modTime = 0;
};

struct ArchiveCheck {
  std::vector<EntryInfo> entries;
  std::vector<Finding> findings;
  std::vector<MarkerRun> runs;
  size_t endRecord = kNowhere;  // the end-of-central-directory record, when found
  size_t archiveEnd = 0;        // behind the end record and its comment
  std::string comment;
  bool HasDefects() const;
};

struct CheckOptions {
  bool readData = true;           // inflate every entry, check its size and CRC-32
  bool refuseDuplicates = false;  // two entries that install as one file: a defect, not a warning
  // In a signed setup file, where the certificate table starts in the bytes checked;
  // up to 7 zero bytes of padding may stand between the archive and it.
  size_t signatureAt = kNowhere;
};

// Checks the bytes that the setup program writes to the pack file: the archive, and in a
// signed setup file the certificate table behind it.
ArchiveCheck CheckArchive(const uint8_t* data, size_t size, const CheckOptions& options);

// The end record as minizip finds it: the last "PK\5\6" starting at a position p with
// size - 65535 <= p <= size - 4; kNowhere when there is none, or when that last one is
// at p = 0, which minizip takes for none.
size_t LocateEndRecord(const uint8_t* data, size_t size);

// Where minizip would find a ZIP64 end record (and read the archive as ZIP64), or kNowhere.
size_t LocateZip64EndRecord(const uint8_t* data, size_t size);

// Where a run lies, for a message: "entry 'a': CRC-32 (local header), data; ...".
std::string DescribeRun(const MarkerRun& run, const std::vector<EntryInfo>& entries);

// Every maximal run of eight or more 0x55 bytes: offset and length.
std::vector<std::pair<size_t, size_t>> FindMarkerRuns(const uint8_t* data, size_t size);

// The entry's data, inflated or copied, checked against its size and CRC-32. With `out`
// null only the check runs. False with the reason in `error` when the data is damaged.
bool ReadEntryData(const uint8_t* data, size_t size, const EntryInfo& entry, std::vector<uint8_t>* out,
                   std::string* error);

// A name as the user should read it: in single quotes, unprintable bytes as \xNN.
std::string Quoted(const std::string& name);

// What a stored name installs as: the text after its last forward slash or backslash.
std::string InstallName(const std::string& storedName);

// Why a file of this name must not be created in the install directory, or the empty
// text when it is a plain file name there.
std::string UnsafeNameReason(const std::string& baseName);

// The product whose name or keyword is `name`, in any case; null when none is.
const ProductProfile* ProductNamed(const std::string& name);
// The product the setup program picks from `commandLine`: upper-cased (a to z only),
// the keywords searched for in table order, the first found wins. Null when none is.
const ProductProfile* ProductSelectedBy(const std::string& commandLine);

// The PE certificate table (Authenticode signature) that the security directory of a
// PE image names: its offset and size. False when the file is no PE image or unsigned.
bool FindCertificateTable(const uint8_t* data, size_t size, size_t* offset, size_t* length);

struct SetupFileCheck {
  std::string fileName;                // the base name of the setup file
  const ProductProfile* product = nullptr;  // what that name selects
  std::vector<size_t> markers;         // behind each marker the setup program counts
  size_t archiveStart = kNowhere;      // where the pack file's bytes begin
  size_t certificateOffset = kNowhere, certificateSize = 0;  // a signature, when signed
  ArchiveCheck archive;                // of the bytes from archiveStart to the end
  std::vector<Finding> findings;       // about the file as a whole
  bool HasDefects() const;
};

// Checks a whole setup file named `fileName` (only its base name counts). With
// `expected`, a name that selects another product is a defect.
SetupFileCheck CheckSetupFile(const uint8_t* data, size_t size, const std::string& fileName,
                              const ProductProfile* expected, const CheckOptions& options);

}  // namespace mksetup
