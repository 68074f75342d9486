// The running setup program's own file, found through the module path with the wide
// call: however the program was started (a name typed without its extension, arguments
// behind it) and whatever folder it lies in (one the ANSI code page cannot spell), this
// is the file the archive is appended to.
#pragma once

#include "framework/afxstr.h"

#include <string>

struct SetupImage {
  std::wstring path;  // for the wide file calls; empty when the module path is unknown
  CString shown;      // the path as the ANSI code page shows it ('?' for what it lacks), for messages
};

SetupImage LocateSetupImage();
