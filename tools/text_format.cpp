#include "tools/text_format.h"

#include "archive/zip_format.h"
#include "platform/utf8.h"

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

namespace {

// The length of the UTF-8 character at text[at], or 0 when none starts there.
size_t Utf8CharacterAt(const std::string& text, size_t at) {
  const unsigned char lead = static_cast<unsigned char>(text[at]);
  const size_t n = lead < 0x80 ? 1 : lead < 0xC2 ? 0 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF5 ? 4 : 0;
  return n && at + n <= text.size() && IsValidUtf8(std::string_view(text).substr(at, n)) ? n : 0;
}

// `text` with the bytes that would not show as themselves as \xNN. Where any is, so is
// every backslash, which a double-byte code page may use as a second byte: "\x83\x5C".
std::string Escaped(const std::string& text, bool utf8, bool quote) {
  // How many bytes from text[at] on show as themselves; 0 for a byte written as \xNN.
  const auto shown = [&](size_t at) -> size_t {
    const unsigned char c = static_cast<unsigned char>(text[at]);
    const size_t n = utf8 ? Utf8CharacterAt(text, at) : c < 0x80 ? 1 : 0;
    return n == 1 && (c < 0x20 || c == 0x7F || (quote && c == '\'')) ? 0 : n;
  };
  bool escapes = false;
  for (size_t at = 0; at < text.size() && !escapes;) {
    const size_t n = shown(at);
    escapes = n == 0;
    at += n;
  }
  std::string out;
  for (size_t at = 0; at < text.size();) {
    const size_t n = shown(at);
    if (n == 0 || (escapes && text[at] == '\\')) {
      out += Format("\\x%02X", static_cast<unsigned char>(text[at]));
      ++at;
    } else {
      out.append(text, at, n);
      at += n;
    }
  }
  return out;
}

}  // namespace

std::string Quoted(const std::string& text) { return "'" + Escaped(text, true, true) + "'"; }

std::string QuotedName(const std::string& stored, uint16_t flags) {
  return "'" + Escaped(stored, (flags & zipformat::kUtf8NameFlag) != 0, true) + "'";
}

std::string PrintableName(const std::string& stored, uint16_t flags) {
  return Escaped(stored, (flags & zipformat::kUtf8NameFlag) != 0, false);
}

}  // namespace mksetup
