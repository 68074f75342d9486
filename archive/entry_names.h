// What a stored entry name installs as, decided here for the archive reader, the
// unpacking driver and the packager alike. A name is bytes in an ANSI code page, and
// every search goes by character in it: the second byte of a double-byte character is
// never taken for a separator, a colon or a reserved character. A name decoded from
// UTF-8 (name_encoding.h) is wide text, and the same rules apply to it by character.
#pragma once

#include "framework/afxstr.h"
#include "platform/code_page.h"

#include <cstddef>
#include <string>
#include <string_view>

// Where the name behind an entry's folders begins, by the report's rule: behind the last
// forward slash if there is one, else behind the last backslash, else at 0.
size_t BaseNameOffset(std::string_view name, const CCodePage& codePage);
size_t BaseNameOffset(std::wstring_view name);

// Where the name's final component begins, by the extraction's rule: behind the last
// separator of either kind, else at 0. It differs from the base name only for a
// backslash behind the last forward slash ("a/b\c.txt": "b\c.txt" against "c.txt").
size_t FinalComponentOffset(std::string_view name, const CCodePage& codePage);
size_t FinalComponentOffset(std::wstring_view name);

// Whether the name's last character is a separator: an entry of a folder, whatever its
// attributes say (as every reader takes it; Java's jar writes such entries without them).
bool EndsInSeparator(std::string_view name, const CCodePage& codePage);
bool EndsInSeparator(std::wstring_view name);

// The file an entry is written to: `directory`, one backslash, the name's final
// component. The directory is taken as given, a trailing backslash and all.
CStringW InstallPathOf(const wchar_t* directory, std::wstring_view name);

enum class NameFault {
  kNone,
  kEmpty,
  kDotName,            // "." or "..": the directory itself or its parent
  kControlCharacter,   // below 0x20
  kColon,              // a drive or an alternate data stream
  kReservedCharacter,  // < > " / \ | ? *
  kTrailingDotOrSpace, // Windows drops them: "a." would be "a"
  kDeviceName,         // CON, NUL.txt, COM1 ...: Windows opens the device instead
  kBrokenCharacter,    // a lead byte without a second byte that completes it
};

struct NameCheck {
  NameFault fault = NameFault::kNone;
  unsigned char character = 0;  // the character at fault, for the control and reserved ones
  std::string device;           // the device name, upper-cased
};

// Whether Windows stores a file of exactly this name, a final component without
// folders: every double-byte character whole, not empty, no control or reserved
// character, no colon, no trailing dot or space, and no device name: CON, PRN, AUX, NUL, CONIN$, CONOUT$, CLOCK$, COM1 to COM9
// and LPT1 to LPT9 (and COM1 with a superscript one, two or three where the code page has
// those characters), whatever extension follows and with spaces before it.
NameCheck CheckPlainFileName(std::string_view name, const CCodePage& codePage);
NameCheck CheckPlainFileName(std::wstring_view name);
inline bool IsPlainFileName(std::string_view name, const CCodePage& codePage) {
  return CheckPlainFileName(name, codePage).fault == NameFault::kNone;
}
inline bool IsPlainFileName(std::wstring_view name) { return CheckPlainFileName(name).fault == NameFault::kNone; }

// Whether a directory entry's path stays beneath the directory it is created in: no
// leading separator (an absolute or UNC path), no colon (a drive letter or stream), and
// no component of dots and spaces with two dots or more, which Windows reads as "..".
bool IsContainedDirectoryPath(std::string_view path, const CCodePage& codePage);
bool IsContainedDirectoryPath(std::wstring_view path);
