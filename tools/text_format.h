// The packager's messages: printf-style formatting into a string, and names quoted so
// that every byte of them can be read.
#pragma once

#include <cstdint>
#include <string>

namespace mksetup {

// MKSETUP_PRINTF_FORMAT comes from the build: gnu_printf for mingw, whose C++ library
// prints through its own C99 printf (which knows %zu), printf elsewhere.
std::string Format(const char* format, ...) __attribute__((format(MKSETUP_PRINTF_FORMAT, 1, 2)));

// Text as the user should read it: in single quotes; control bytes, quotes and bytes that
// form no UTF-8 character as \xNN.
std::string Quoted(const std::string& text);
// A stored entry name the same way. Without the UTF-8 flag among `flags` its bytes are a
// code page's, which a UTF-8 terminal would show as other characters: every byte of 0x80
// or more is \xNN.
std::string QuotedName(const std::string& stored, uint16_t flags);
// The same without the quotes, for a table.
std::string PrintableName(const std::string& stored, uint16_t flags);

}  // namespace mksetup
