#include "tools/text_format.h"

#include <cstdarg>
#include <cstdio>

namespace mksetup {

std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  char small[512];
  va_list again;
  va_copy(again, args);
  const int n = std::vsnprintf(small, sizeof small, format, args);
  va_end(args);
  std::string out;
  if (n < 0) {
    out = format;
  } else if (size_t(n) < sizeof small) {
    out.assign(small, size_t(n));
  } else {
    out.resize(size_t(n) + 1);
    std::vsnprintf(&out[0], out.size(), format, again);
    out.resize(size_t(n));
  }
  va_end(again);
  return out;
}

std::string Quoted(const std::string& name) {
  std::string out = "'";
  for (unsigned char c : name) {
    if (c < 0x20 || c == 0x7F || c == '\'') out += Format("\\x%02X", c);
    else out += char(c);
  }
  return out + "'";
}

}  // namespace mksetup
