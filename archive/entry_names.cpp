#include "archive/entry_names.h"

#include <cstring>

namespace {

// A name as bytes of an ANSI code page: characters of one or two bytes.
struct NarrowText {
  std::string_view text;
  const CCodePage& codePage;

  size_t size() const { return text.size(); }
  uint32_t at(size_t i) const { return uint8_t(text[i]); }
  size_t Length(size_t i) const { return codePage.CharLength(text.data(), i, text.size()); }
  // A lead byte without a second byte that completes it: Windows would turn it into
  // another character, and the file would not get the name the report gives it.
  bool Broken(size_t i, size_t n) const {
    return n == 2 ? !codePage.IsTrailByte(uint8_t(text[i + 1])) : codePage.IsLeadByte(uint8_t(text[i]));
  }
  // Superscript one, two and three: these bytes in 1252 and its kin; in a double-byte
  // code page they are other characters.
  bool HasSuperscripts() const { return !codePage.IsDoubleByte(); }
};

// A name decoded to wide text: every unit one character for these rules (a surrogate is
// never a separator, a colon or a reserved character).
struct WideText {
  std::wstring_view text;

  size_t size() const { return text.size(); }
  uint32_t at(size_t i) const { return uint32_t(text[i]); }
  size_t Length(size_t) const { return 1; }
  bool Broken(size_t, size_t) const { return false; }
  bool HasSuperscripts() const { return true; }
};

bool IsSeparator(uint32_t c) { return c == '/' || c == '\\'; }

// Calls `visit(at, length)` for every character of `text`, in order, until it returns false.
template <typename Text, typename Visit>
void ForEachCharacter(const Text& text, Visit visit) {
  for (size_t at = 0; at < text.size();) {
    const size_t n = text.Length(at);
    if (!visit(at, n)) return;
    at += n;
  }
}

// Offset behind the last single-unit character that `match` accepts, or 0.
template <typename Text, typename Match>
size_t BehindLast(const Text& text, Match match) {
  size_t behind = 0;
  ForEachCharacter(text, [&](size_t at, size_t n) {
    if (n == 1 && match(text.at(at))) behind = at + 1;
    return true;
  });
  return behind;
}

template <typename Text>
size_t BaseNameOffsetOf(const Text& name) {
  // The forward slash decides whenever there is one.
  const size_t slash = BehindLast(name, [](uint32_t c) { return c == '/'; });
  return slash ? slash : BehindLast(name, [](uint32_t c) { return c == '\\'; });
}

template <typename Text>
bool IsDeviceStem(const Text& name, size_t stem) {
  std::string upper;
  for (size_t i = 0; i < stem; ++i) {
    const uint32_t c = name.at(i);
    if (c >= 0x100) return false;
    upper += char(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  }
  static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$", "CLOCK$"};
  for (const char* device : kDevices)
    if (upper == device) return true;
  if (upper.size() != 4 || (upper.compare(0, 3, "COM") != 0 && upper.compare(0, 3, "LPT") != 0)) return false;
  const unsigned char digit = static_cast<unsigned char>(upper[3]);
  if (digit >= '1' && digit <= '9') return true;
  return name.HasSuperscripts() && (digit == 0xB9 || digit == 0xB2 || digit == 0xB3);
}

template <typename Text>
NameCheck CheckPlainFileNameOf(const Text& name) {
  NameCheck check;
  const size_t length = name.size();
  if (length == 0) {
    check.fault = NameFault::kEmpty;
    return check;
  }
  if ((length == 1 && name.at(0) == '.') || (length == 2 && name.at(0) == '.' && name.at(1) == '.')) {
    check.fault = NameFault::kDotName;
    return check;
  }
  size_t lastCharacter = 0, stem = length;
  ForEachCharacter(name, [&](size_t at, size_t n) {
    lastCharacter = at;
    const uint32_t c = name.at(at);
    if (name.Broken(at, n)) {
      check.fault = NameFault::kBrokenCharacter;
      check.character = static_cast<unsigned char>(c);
      return false;
    }
    if (n != 1) return true;
    if (c < 0x20) check.fault = NameFault::kControlCharacter;
    else if (c == ':') check.fault = NameFault::kColon;
    else if (c < 0x80 && std::strchr("<>\"/\\|?*", int(c))) check.fault = NameFault::kReservedCharacter;
    if (check.fault != NameFault::kNone) {
      check.character = static_cast<unsigned char>(c);
      return false;
    }
    if (c == '.' && stem == length) stem = at;
    return true;
  });
  if (check.fault != NameFault::kNone) return check;
  if (name.at(lastCharacter) == '.' || name.at(lastCharacter) == ' ') {
    check.fault = NameFault::kTrailingDotOrSpace;
    return check;
  }
  // Device names stay devices whatever extension follows ("nul.txt"), and with spaces
  // before it ("nul .txt").
  while (stem > 0 && name.at(stem - 1) == ' ') --stem;
  if (IsDeviceStem(name, stem)) {
    check.fault = NameFault::kDeviceName;
    for (size_t i = 0; i < stem; ++i) {
      const uint32_t c = name.at(i);
      check.device += char(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    }
  }
  return check;
}

template <typename Text>
bool IsContainedDirectoryPathOf(const Text& path) {
  if (path.size() > 0 && IsSeparator(path.at(0))) return false;
  bool contained = true;
  size_t component = 0;
  int dots = 0;
  bool onlyDotsAndSpaces = true;
  auto endComponent = [&](size_t at) {
    if (at > component && onlyDotsAndSpaces && dots >= 2) contained = false;
    dots = 0;
    onlyDotsAndSpaces = true;
  };
  ForEachCharacter(path, [&](size_t at, size_t n) {
    const uint32_t c = path.at(at);
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

}  // namespace

size_t BaseNameOffset(std::string_view name, const CCodePage& codePage) {
  return BaseNameOffsetOf(NarrowText{name, codePage});
}
size_t BaseNameOffset(std::wstring_view name) { return BaseNameOffsetOf(WideText{name}); }

size_t FinalComponentOffset(std::string_view name, const CCodePage& codePage) {
  return BehindLast(NarrowText{name, codePage}, IsSeparator);
}
size_t FinalComponentOffset(std::wstring_view name) { return BehindLast(WideText{name}, IsSeparator); }

CStringW InstallPathOf(const wchar_t* directory, std::wstring_view name) {
  return CStringW(directory) + L"\\" + std::wstring(name.substr(FinalComponentOffset(name))).c_str();
}

NameCheck CheckPlainFileName(std::string_view name, const CCodePage& codePage) {
  return CheckPlainFileNameOf(NarrowText{name, codePage});
}
NameCheck CheckPlainFileName(std::wstring_view name) { return CheckPlainFileNameOf(WideText{name}); }

bool IsContainedDirectoryPath(std::string_view path, const CCodePage& codePage) {
  return IsContainedDirectoryPathOf(NarrowText{path, codePage});
}
bool IsContainedDirectoryPath(std::wstring_view path) { return IsContainedDirectoryPathOf(WideText{path}); }

bool EndsInSeparator(std::string_view name, const CCodePage& codePage) {
  return !name.empty() && FinalComponentOffset(name, codePage) == name.size();
}
bool EndsInSeparator(std::wstring_view name) { return !name.empty() && FinalComponentOffset(name) == name.size(); }
