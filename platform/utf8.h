// UTF-8 and wide text, the same on every platform: entry names, and Linux file names in
// the stand-in.
#pragma once

#include <string>
#include <string_view>

// Whether `text` is UTF-8 as the standard has it: no overlong forms, no surrogates, no
// code point beyond U+10FFFF, no sequence cut short.
bool IsValidUtf8(std::string_view text);

// UTF-8 as wide text (UTF-16 where wchar_t has 16 bits, UTF-32 where it has 32); a byte
// that starts no valid sequence becomes U+FFFD. And back.
std::wstring WideFromUtf8(std::string_view utf8);
std::string Utf8FromWide(std::wstring_view wide);
