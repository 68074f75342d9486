#include "tools/setup_file_check.h"

#include "framework/afxstr.h"
#include "payload/payload_marker.h"
#include "archive/zip_format.h"
#include "tools/name_text.h"
#include "tools/text_format.h"

#include <algorithm>
#include <cstring>

namespace mksetup {
namespace {

using zipformat::kEndSignature;
using zipformat::kLocalSignature;
// The longest path the setup program's file calls take.
const size_t kMaxPathLength = 259;

std::vector<size_t> MarkersIn(const std::vector<std::pair<size_t, size_t>>& runs) {
  // A run of the marker's byte holds one occurrence for every whole eight bytes of it.
  const size_t length = std::strlen(PayloadMarker);
  std::vector<size_t> markers;
  for (const auto& run : runs)
    for (size_t k = 1; k <= run.second / length; ++k) markers.push_back(run.first + k * length);
  return markers;
}

}  // namespace

const char kSizeLimitReason[] =
    "Windows starts no program from a file of 4 GiB or more (\"not a valid Win32 application\"), and mksetup stops "
    "below 4,200,000,000 bytes to leave room for a signature added afterwards";

bool SetupFileCheck::HasDefects() const {
  return archive.HasDefects() ||
         std::any_of(findings.begin(), findings.end(), [](const Finding& f) { return f.defect; });
}

const ProductProfile* ProductNamed(const std::string& name) {
  for (const ProductProfile& row : kProductProfiles) {
    const size_t length = std::strlen(row.productName);
    if (name.size() != length) continue;
    bool same = true;
    for (size_t i = 0; i < length && same; ++i) {
      auto upper = [](char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; };
      same = upper(name[i]) == upper(row.productName[i]);
    }
    if (same) return &row;
  }
  return nullptr;
}

const ProductProfile* ProductSelectedBy(const std::string& commandLine) {
  // The setup program upper-cases in the C library's default locale: a to z only.
  std::string upper = commandLine;
  for (char& c : upper)
    if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
  return FindProductProfile(CString(upper.c_str()));
}

SetupFileCheck CheckSetupFile(const uint8_t* data, size_t size, const std::string& fileName,
                              const ProductProfile* expected, const CheckOptions& options) {
  return CheckSetupFile(MemorySource(data, size), fileName, expected, options);
}

SetupFileCheck CheckSetupFile(const ByteSource& file, const std::string& fileName, const ProductProfile* expected,
                              const CheckOptions& options) {
  SetupFileCheck c;
  auto defect = [&](std::string message) { c.findings.push_back({true, -1, std::move(message)}); };
  if (file.Size() > kMaxSetupFileSize) {
    defect(Format("the setup file is %llu bytes: %s", (unsigned long long)file.Size(), kSizeLimitReason));
    // Its offsets would not even fit the checks' positions on a 32-bit system.
    if (file.Size() > SIZE_MAX) return c;
  }
  const size_t size = size_t(file.Size());
  c.fileName = InstallName(fileName);
  c.product = ProductSelectedBy(c.fileName);
  if (!c.product) {
    defect("the name " + Quoted(c.fileName) + " selects no product: the setup program would show \"Invalid setup "
           "file name\" and end");
  } else if (expected && c.product != expected) {
    defect(Format("the name %s selects %s, not %s: the setup program searches for %s before %s", Quoted(c.fileName).c_str(),
                  c.product->productName, expected->productName, c.product->keyword, expected->keyword));
  }

  // One pass finds the markers and the runs of 0x55 in the archive, which lie in the same runs.
  std::vector<std::pair<size_t, size_t>> runs;
  if (!FindMarkerByteRuns(file, &runs)) {
    defect("the setup file cannot be read");
    return c;
  }
  c.markers = MarkersIn(runs);
  if (c.markers.size() < 2) {
    defect(c.markers.empty() ? "the marker does not occur: this is no setup file"
                             : "the marker occurs once: a stub with no archive behind it");
    return c;
  }
  if (c.markers.size() == 2) {
    c.archiveStart = c.markers[1];
  } else {
    std::string where;
    for (size_t at : c.markers) where += Format("%s%zu", where.empty() ? "" : ", ", at - std::strlen(PayloadMarker));
    defect(Format("the setup program counts the marker %zu times (at offsets %s), not twice, and would refuse to "
                  "install",
                  c.markers.size(), where.c_str()));
    // For the report, take the archive to begin behind the first later marker that a ZIP header follows.
    for (size_t k = 1; k < c.markers.size() && c.archiveStart == kNowhere; ++k) {
      const size_t at = c.markers[k];
      uint8_t head[4];
      if (size - at >= 4 && file.Read(at, head, 4) && (Get32(head) == kLocalSignature || Get32(head) == kEndSignature))
        c.archiveStart = at;
    }
    if (c.archiveStart == kNowhere) return c;
  }
  CheckOptions archiveOptions = options;
  size_t certificate = 0, certificateSize = 0;
  if (FindCertificateTable(file, &certificate, &certificateSize)) {
    c.certificateOffset = certificate;
    c.certificateSize = certificateSize;
    if (certificate < c.archiveStart || certificate > size) {
      defect(Format("the certificate table at offset %zu does not lie behind the archive", certificate));
    } else {
      archiveOptions.signatureAt = certificate - c.archiveStart;
      if (size - certificate != certificateSize)
        defect(Format("the certificate table (%zu bytes at offset %zu) does not end the file, which is %zu bytes long",
                      certificateSize, certificate, size));
    }
  }
  // The archive's runs: the file's, from its first byte on.
  std::vector<std::pair<size_t, size_t>> archiveRuns;
  for (const auto& run : runs) {
    if (run.first + run.second <= c.archiveStart) continue;
    const size_t start = std::max(run.first, c.archiveStart);
    const size_t length = run.first + run.second - start;
    if (length >= std::strlen(PayloadMarker)) archiveRuns.emplace_back(start - c.archiveStart, length);
  }
  archiveOptions.knownRuns = &archiveRuns;
  c.archive = CheckArchive(SubSource(file, c.archiveStart, size - c.archiveStart), archiveOptions);
  // The reader joins the directory, a backslash and the name, and Windows takes paths of
  // at most 259 characters (UTF-16 units): too long a name fails in the product's
  // default directory.
  const ProductProfile* product = expected ? expected : c.product;
  for (const EntryInfo& e : product ? c.archive.entries : std::vector<EntryInfo>()) {
    const size_t length = std::strlen(product->defaultDirectory) + 1 + Utf16Length(e.wideBaseName);
    if (!e.baseName.empty() && length > kMaxPathLength)
      defect(Format("entry %s would install as %s\\%s, a path of %zu characters; Windows takes at most %zu",
                    QuotedName(e.name, e.flags).c_str(), product->defaultDirectory, e.baseName.c_str(), length,
                    kMaxPathLength));
  }
  return c;
}

}  // namespace mksetup
