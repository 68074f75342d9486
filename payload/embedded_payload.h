// Copying the archive appended to the running setup file out to the pack file.
#pragma once

#include "framework/afxstr.h"
#include "platform/win32_api.h"

struct PayloadExtraction {
  // 0 when the setup file could not be sized, buffered, opened or read (after a
  // message); 1 otherwise, whether or not a payload was found and written.
  int result;
  // This run wrote the pack file whole. A pack file that is there although this run did
  // not write it is an earlier setup's.
  bool packFileSaved;
};

// Reads `setupFile` whole and writes the archive behind its second marker to `packFile`.
PayloadExtraction ExtractEmbeddedPayload(const CString& setupFile, const CString& packFile);

// Scans `data` for the marker and writes what follows its second occurrence to
// `packFile`. 1 when the pack file was written whole; 0 after a message otherwise, and
// then no partial pack file is left.
int SavePayload(const BYTE* data, int size, const CString& packFile);
