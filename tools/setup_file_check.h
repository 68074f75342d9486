// A whole setup file as the setup program meets it: the product its name selects, the
// markers, a signature behind the archive, and the archive (archive_rules.h). Shared by
// mksetup's build, list and verify.
#pragma once

#include "app/product_profiles.h"
#include "tools/archive_rules.h"
#include "tools/entry_data.h"
#include "tools/marker_byte_runs.h"
#include "tools/pe_signature.h"
#include "tools/text_format.h"
#include "tools/zip_layout.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace mksetup {

// Windows starts no program from a file of 4 GiB or more: creating the process fails as
// "not a valid Win32 application", on 64-bit Windows too, whatever the headers say, as
// the image section is made from the whole file. The setup program itself reads any size.
// mksetup stops below 4,200,000,000 bytes, as other installer builders do, which leaves
// about 90 MiB for a signature added afterwards; every offset below that fits the 32-bit
// fields of the archive (ZIP64 only counts entries).
const uint64_t kMaxSetupFileSize = 4199999999;
// Why, for messages.
extern const char kSizeLimitReason[];

// The product whose name or keyword is `name`, in any case; null when none is.
const ProductProfile* ProductNamed(const std::string& name);
// The product the setup program picks from `commandLine`: upper-cased (a to z only),
// the keywords searched for in table order, the first found wins. Null when none is.
const ProductProfile* ProductSelectedBy(const std::string& commandLine);

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
SetupFileCheck CheckSetupFile(const ByteSource& file, const std::string& fileName, const ProductProfile* expected,
                              const CheckOptions& options);
SetupFileCheck CheckSetupFile(const uint8_t* data, size_t size, const std::string& fileName,
                              const ProductProfile* expected, const CheckOptions& options);

}  // namespace mksetup
