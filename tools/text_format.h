// The packager's messages: printf-style formatting into a string, and names quoted so
// that every byte of them can be read.
#pragma once

#include <string>

namespace mksetup {

// MKSETUP_PRINTF_FORMAT comes from the build: gnu_printf for mingw, whose C++ library
// prints through its own C99 printf (which knows %zu), printf elsewhere.
std::string Format(const char* format, ...) __attribute__((format(MKSETUP_PRINTF_FORMAT, 1, 2)));

// A name as the user should read it: in single quotes, unprintable bytes as \xNN.
std::string Quoted(const std::string& name);

}  // namespace mksetup
