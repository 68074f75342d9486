// The stub installed with mksetup: the 32-bit setup program, the build that ships, kept
// as data beside mksetup's own folder so that an installed mksetup needs no --stub.
#pragma once

#include <string>

namespace mksetup {

// Where the installed stub lies, from the running mksetup's own path; empty when that
// path cannot be found. Whether a file is there is the caller's question.
std::string InstalledStubPath();

// mksetup --version: its own version, and the stub a build without --stub would use
// with that stub's file version. Exit status 0.
int PrintVersion();

}  // namespace mksetup
