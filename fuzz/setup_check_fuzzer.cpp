// mksetup's checks of the archives and setup files a vendor hands it, on arbitrary
// bytes: every header is walked with its bounds checked, every entry inflated, every
// run of marker bytes described. Nothing may read out of bounds, leak or hang.
#include "payload/payload_marker.h"
#include "tools/setup_file_check.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  mksetup::CheckOptions options;
  options.refuseDuplicates = size % 2 == 0;
  const mksetup::ArchiveCheck check = mksetup::CheckArchive(data, size, options);
  for (const mksetup::MarkerRun& run : check.runs) mksetup::DescribeRun(run, check.entries);
  for (const mksetup::EntryInfo& entry : check.entries) {
    std::vector<uint8_t> out;
    std::string error;
    mksetup::ReadEntryData(data, size, entry, &out, &error);
  }
  mksetup::LocateZip64EndRecord(data, size);
  FindMarkerOccurrences(data, size);
  return 0;
}
