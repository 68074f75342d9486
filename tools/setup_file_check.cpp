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

}  // namespace

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
  SetupFileCheck c;
  auto defect = [&](std::string message) { c.findings.push_back({true, -1, std::move(message)}); };
  if (size > kMaxSetupFileSize)
    defect(Format("the setup file is %zu bytes: mksetup builds and checks setup files below 4 GiB", size));
  c.fileName = InstallName(fileName);
  c.product = ProductSelectedBy(c.fileName);
  if (!c.product) {
    defect("the name " + Quoted(c.fileName) + " selects no product: the setup program would show \"Invalid setup "
           "file name\" and end");
  } else if (expected && c.product != expected) {
    defect(Format("the name %s selects %s, not %s: the setup program searches for %s before %s", Quoted(c.fileName).c_str(),
                  c.product->productName, expected->productName, c.product->keyword, expected->keyword));
  }

  for (uint32_t at : FindMarkerOccurrences(data, size)) c.markers.push_back(at);
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
      if (size - at >= 4 && (Get32(data + at) == kLocalSignature || Get32(data + at) == kEndSignature))
        c.archiveStart = at;
    }
    if (c.archiveStart == kNowhere) return c;
  }
  CheckOptions archiveOptions = options;
  size_t certificate = 0, certificateSize = 0;
  if (FindCertificateTable(data, size, &certificate, &certificateSize)) {
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
  c.archive = CheckArchive(data + c.archiveStart, size - c.archiveStart, archiveOptions);
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
