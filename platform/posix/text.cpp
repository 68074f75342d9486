// Conversions between multibyte text (the ANSI code page, or UTF-8) and wide text, as
// MultiByteToWideChar and WideCharToMultiByte make them, through the C library's iconv.
// WCHAR is wchar_t: UTF-32 here, UTF-16 on Windows, which the program never looks into.
//
// Not reproduced: Windows' "best fit" replacements (WideCharToMultiByte without
// WC_NO_BEST_FIT_CHARS may write 'e' for an 'ё' in code page 1252); here a character the
// code page lacks always becomes the default character, as with that flag.
#include "platform/posix/win32_api.h"

#include <cerrno>
#include <cstring>
#include <iconv.h>
#include <string>

namespace {

std::string IconvName(UINT codePage) {
  if (codePage == CP_ACP) codePage = GetACP();
  if (codePage == CP_UTF8) return "UTF-8";
  return "CP" + std::to_string(codePage);
}

class CConverter {
 public:
  CConverter(const std::string& to, const std::string& from) : m_cd(iconv_open(to.c_str(), from.c_str())) {}
  ~CConverter() {
    if (Valid()) iconv_close(m_cd);
  }
  CConverter(const CConverter&) = delete;
  CConverter& operator=(const CConverter&) = delete;
  bool Valid() const { return m_cd != reinterpret_cast<iconv_t>(-1); }
  // Converts [in, in + length) whole into `out`; false when it is no valid text.
  bool Convert(const char* in, size_t length, std::string& out) {
    iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
    out.assign(length * 4 + 8, '\0');
    char* src = const_cast<char*>(in);
    char* dst = &out[0];
    size_t left = length, room = out.size();
    if (iconv(m_cd, &src, &left, &dst, &room) == size_t(-1)) return false;
    out.resize(out.size() - room);
    return true;
  }

 private:
  iconv_t m_cd;
};

// The text of one multibyte character starting at text[at]: its length in bytes, 0 when
// no character of the code page starts there.
size_t CharacterLength(CConverter& toWide, const char* text, size_t at, size_t length) {
  std::string ignored;
  for (size_t n = 1; n <= 4 && at + n <= length; ++n)
    if (toWide.Convert(text + at, n, ignored) && !ignored.empty()) return n;
  return 0;
}

int Deliver(const std::wstring& result, LPWSTR wide, int wideLength) {
  if (wideLength == 0) return int(result.size());
  if (int(result.size()) > wideLength) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::memcpy(wide, result.data(), result.size() * sizeof(WCHAR));
  return int(result.size());
}

}  // namespace

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text, int length, LPWSTR wide, int wideLength) {
  if (!text || length < -1 || wideLength < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const size_t n = length < 0 ? std::strlen(text) + 1 : size_t(length);
  CConverter toWide("WCHAR_T", IconvName(codePage));
  if (!toWide.Valid()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::wstring result;
  std::string piece;
  for (size_t at = 0; at < n;) {
    const size_t c = CharacterLength(toWide, text, at, n);
    if (c == 0) {
      if (flags & MB_ERR_INVALID_CHARS) {
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return 0;
      }
      result += L'\xFFFD';
      ++at;
      continue;
    }
    toWide.Convert(text + at, c, piece);
    result.append(reinterpret_cast<const wchar_t*>(piece.data()), piece.size() / sizeof(wchar_t));
    at += c;
  }
  return Deliver(result, wide, wideLength);
}

int WideCharToMultiByte(UINT codePage, DWORD /*flags*/, LPCWSTR wide, int length, LPSTR text, int textLength,
                        LPCSTR defaultChar, LPBOOL usedDefaultChar) {
  // UTF-8 holds every character: Windows refuses a default character for it.
  if (!wide || length < -1 || textLength < 0 || (codePage == CP_UTF8 && (defaultChar || usedDefaultChar))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const size_t n = length < 0 ? std::wcslen(wide) + 1 : size_t(length);
  CConverter fromWide(IconvName(codePage), "WCHAR_T");
  if (!fromWide.Valid()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const std::string fallback = defaultChar ? std::string(defaultChar, 1) : "?";
  if (usedDefaultChar) *usedDefaultChar = FALSE;
  std::string result, piece;
  for (size_t i = 0; i < n; ++i) {
    if (fromWide.Convert(reinterpret_cast<const char*>(wide + i), sizeof(WCHAR), piece)) {
      result += piece;
      continue;
    }
    result += codePage == CP_UTF8 ? "\xEF\xBF\xBD" : fallback;
    if (usedDefaultChar) *usedDefaultChar = TRUE;
  }
  if (textLength == 0) return int(result.size());
  if (int(result.size()) > textLength) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::memcpy(text, result.data(), result.size());
  return int(result.size());
}
