#include "archive/name_encoding.h"

#include "archive/zip_format.h"
#include "framework/afxstr.h"
#include "platform/env.h"
#include "platform/utf8.h"

#include <zlib.h>

namespace {

using zipformat::Get16;
using zipformat::Get32;

// The UTF-8 name of the first Unicode Path field, when it is of version 1 and was
// written for exactly this stored name. A field for another name means the name was
// changed by a tool that knew nothing of the field: it is ignored, as Info-ZIP does.
bool UnicodePathOf(std::string_view stored, const uint8_t* extra, size_t length, std::string_view* name) {
  for (size_t at = 0; extra && at + 4 <= length;) {
    const uint16_t id = Get16(extra + at), size = Get16(extra + at + 2);
    if (at + 4 + size > length) return false;
    if (id == zipformat::kUnicodePathFieldId) {
      const uint8_t* field = extra + at + 4;
      if (size < 5 || field[0] != 1) return false;
      const uLong crc = crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(stored.data()), uInt(stored.size()));
      if (Get32(field + 1) != uint32_t(crc)) return false;
      *name = std::string_view(reinterpret_cast<const char*>(field + 5), size - 5);
      return true;
    }
    at += 4 + size;
  }
  return false;
}

}  // namespace

bool IsOemHost(uint16_t versionMadeBy) {
  const unsigned host = versionMadeBy >> 8;
  return host == 0 || host == 6 || host == 10 || host == 14;
}

DecodedName DecodeEntryName(std::string_view stored, uint16_t flags, uint16_t versionMadeBy, const uint8_t* extra,
                            size_t extraLength) {
  DecodedName decoded;
  std::string_view unicodePath;
  if (flags & zipformat::kUtf8NameFlag) {
    decoded.encoding = NameEncoding::kUtf8Flag;
    decoded.utf8 = std::string(stored);
  } else if (UnicodePathOf(stored, extra, extraLength, &unicodePath)) {
    decoded.encoding = NameEncoding::kUnicodePathField;
    decoded.utf8 = std::string(unicodePath);
  } else {
    if (IsOemHost(versionMadeBy)) decoded.encoding = NameEncoding::kOemCodePage;
    return decoded;
  }
  decoded.valid = IsValidUtf8(decoded.utf8) && decoded.utf8.find('\0') == std::string::npos;
  return decoded;
}

bool EntryNameAsWide(std::string_view stored, uint16_t flags, uint16_t versionMadeBy, const uint8_t* extra,
                     size_t extraLength, std::wstring* wide, NameEncoding* encoding) {
  const DecodedName decoded = DecodeEntryName(stored, flags, versionMadeBy, extra, extraLength);
  if (encoding) *encoding = decoded.encoding;
  if (!decoded.valid) return false;
  if (decoded.encoding == NameEncoding::kCodePage)
    *wide = CStringW(CString(stored.data(), int(stored.size()))).Str();
  else if (decoded.encoding == NameEncoding::kOemCodePage)
    *wide = Env().ToWide(Env().OemCodePage(), stored);
  else
    *wide = WideFromUtf8(decoded.utf8);
  return true;
}
