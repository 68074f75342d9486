#include "archive/entry_names.h"

#include <cstring>

namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

// Calls `visit(at, length)` for every character of `text`, in order, until it returns false.
template <typename Visit>
void ForEachCharacter(std::string_view text, const CCodePage& codePage, Visit visit) {
  for (size_t at = 0; at < text.size();) {
    const size_t n = codePage.CharLength(text.data(), at, text.size());
    if (!visit(at, n)) return;
    at += n;
  }
}

// Offset behind the last single-byte character that `match` accepts, or 0.
template <typename Match>
size_t BehindLast(std::string_view text, const CCodePage& codePage, Match match) {
  size_t behind = 0;
  ForEachCharacter(text, codePage, [&](size_t at, size_t n) {
    if (n == 1 && match(text[at])) behind = at + 1;
    return true;
  });
  return behind;
}

bool IsDeviceStem(const std::string& upper, const CCodePage& codePage) {
  static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$", "CLOCK$"};
  for (const char* device : kDevices)
    if (upper == device) return true;
  if (upper.size() != 4 || (upper.compare(0, 3, "COM") != 0 && upper.compare(0, 3, "LPT") != 0)) return false;
  const unsigned char digit = static_cast<unsigned char>(upper[3]);
  if (digit >= '1' && digit <= '9') return true;
  // Superscript one, two and three, where the code page has them (1252 and its kin);
  // in a double-byte code page these bytes are other characters.
  return !codePage.IsDoubleByte() && (digit == 0xB9 || digit == 0xB2 || digit == 0xB3);
}

}  // namespace

size_t BaseNameOffset(std::string_view name, const CCodePage& codePage) {
  // The forward slash decides whenever there is one.
  const size_t slash = BehindLast(name, codePage, [](char c) { return c == '/'; });
  return slash ? slash : BehindLast(name, codePage, [](char c) { return c == '\\'; });
}

size_t FinalComponentOffset(std::string_view name, const CCodePage& codePage) {
  return BehindLast(name, codePage, IsSeparator);
}

CString InstallPathOf(const char* directory, const char* name, const CCodePage& codePage) {
  return CString(directory) + "\\" + (name + FinalComponentOffset(name, codePage));
}

NameCheck CheckPlainFileName(std::string_view name, const CCodePage& codePage) {
  NameCheck check;
  const size_t length = name.size();
  if (length == 0) {
    check.fault = NameFault::kEmpty;
    return check;
  }
  if (name == "." || name == "..") {
    check.fault = NameFault::kDotName;
    return check;
  }
  size_t lastCharacter = 0, stem = length;
  ForEachCharacter(name, codePage, [&](size_t at, size_t n) {
    lastCharacter = at;
    const unsigned char c = static_cast<unsigned char>(name[at]);
    // Windows would turn a broken character into another one: the file would not get
    // the name the report gives it.
    if (n == 2 ? !codePage.IsTrailByte(BYTE(name[at + 1])) : codePage.IsLeadByte(c)) {
      check.fault = NameFault::kBrokenCharacter;
      check.character = c;
      return false;
    }
    if (n != 1) return true;
    if (c < 0x20) check.fault = NameFault::kControlCharacter;
    else if (c == ':') check.fault = NameFault::kColon;
    else if (std::strchr("<>\"/\\|?*", c)) check.fault = NameFault::kReservedCharacter;
    if (check.fault != NameFault::kNone) {
      check.character = c;
      return false;
    }
    if (c == '.' && stem == length) stem = at;
    return true;
  });
  if (check.fault != NameFault::kNone) return check;
  if (name[lastCharacter] == '.' || name[lastCharacter] == ' ') {
    check.fault = NameFault::kTrailingDotOrSpace;
    return check;
  }
  // Device names stay devices whatever extension follows ("nul.txt"), and with spaces
  // before it ("nul .txt").
  while (stem > 0 && name[stem - 1] == ' ') --stem;
  std::string upper(name.substr(0, stem));
  for (char& c : upper)
    if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
  if (IsDeviceStem(upper, codePage)) {
    check.fault = NameFault::kDeviceName;
    check.device = upper;
  }
  return check;
}

bool IsContainedDirectoryPath(std::string_view path, const CCodePage& codePage) {
  if (!path.empty() && IsSeparator(path[0])) return false;
  bool contained = true;
  size_t component = 0;
  int dots = 0;
  bool onlyDotsAndSpaces = true;
  auto endComponent = [&](size_t at) {
    if (at > component && onlyDotsAndSpaces && dots >= 2) contained = false;
    dots = 0;
    onlyDotsAndSpaces = true;
  };
  ForEachCharacter(path, codePage, [&](size_t at, size_t n) {
    const char c = path[at];
    if (n == 1 && c == ':') {
      contained = false;
    } else if (n == 1 && IsSeparator(c)) {
      endComponent(at);
      component = at + 1;
    } else if (n == 1 && c == '.') {
      ++dots;
    } else if (n != 1 || c != ' ') {
      onlyDotsAndSpaces = false;
    }
    return contained;
  });
  if (contained) endComponent(path.size());
  return contained;
}
