// Copying the archive appended to the running setup file out to the pack file.
#pragma once

#include "framework/afxstr.h"
#include "payload/install_progress.h"
#include "payload/payload_layout.h"
#include "payload/setup_image.h"

#include <cstddef>
#include <cstdint>

struct PayloadExtraction {
  // 0 when the setup file could not be sized, opened or read (after a message); 1
  // otherwise, whether or not a payload was found and written.
  int result;
  // This run wrote the pack file whole. A pack file that is there although this run did
  // not write it is an earlier setup's.
  bool packFileSaved;
};

// The setup file is read and scanned through one buffer of this size, and the archive
// behind its second marker written to the pack file as it comes: memory does not grow
// with the setup file.
const size_t kPayloadBufferSize = 1 << 20;

// Judges the archive of `image` from its structure, before anything is written: false
// after the one message that the file is incomplete or damaged, or that it cannot be
// opened. A file that cannot be found or read, or holds no payload, passes: the copy's
// messages say what it is. The
// layout found is in `layout` (empty unless the archive is whole); `visit` sees its
// central records.
bool SetupFileIsWhole(const SetupImage& image, PayloadLayout* layout, PayloadEntryVisitor visit = nullptr,
                      void* context = nullptr);

// Reads `image` and writes the archive behind its second marker to `packFile`, telling
// `progress` (when given) of the bytes written. With the `layout` of a sealed archive,
// the seal is checked over the bytes as they are written: on a mismatch the pack file
// goes, the message of a damaged setup file is shown, and the result is 0.
PayloadExtraction ExtractEmbeddedPayload(const SetupImage& image, const CStringW& packFile,
                                         CInstallProgress* progress = nullptr, const PayloadLayout* layout = nullptr);

// Scans `data` for the marker and writes what follows its second occurrence to
// `packFile`. 1 when the pack file was written whole; 0 after a message otherwise, and
// then no partial pack file is left.
int SavePayload(const uint8_t* data, size_t size, const CStringW& packFile);
