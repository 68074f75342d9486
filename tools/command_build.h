// mksetup build.
#pragma once

#include "tools/cli.h"

namespace mksetup {

// build: writes the setup file, or refuses and writes nothing; the exit status.
int Build(const Arguments& args);

}  // namespace mksetup
