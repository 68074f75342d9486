#include "platform/crt.h"

#include <direct.h>
#include <stdio.h>

namespace crt {

FILE* fopen(const char* path, const char* mode) { return ::fopen(path, mode); }
int remove(const char* path) { return ::remove(path); }
int chdir(const char* path) { return ::_chdir(path); }

}  // namespace crt
