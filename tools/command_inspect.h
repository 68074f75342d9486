// mksetup list, verify and count-markers.
#pragma once

#include "tools/cli.h"

namespace mksetup {

// list (verify false) or verify: prints what SETUP holds and every defect; the exit
// status.
int Inspect(const Arguments& args, bool verify);

// count-markers FILE: how many markers the setup program counts.
int CountMarkers(const Arguments& args);

}  // namespace mksetup
