// The rules for what an entry's stored name installs as, shared by the archive reader,
// the unpacking driver and the packager.
#include "archive/entry_names.h"

#include <gtest/gtest.h>

namespace {

const CCodePage kWestern = CCodePage::Numbered(1252);

TEST(EntryNames, BaseNameAndFinalComponent) {
  struct Case {
    const char* name;
    const char* base;   // the report's rule: the forward slash decides
    const char* final;  // the extraction's rule: the last separator of either kind
  };
  const Case cases[] = {
      {"d:/Galvery/RELEASE/Galvery.EXE", "Galvery.EXE", "Galvery.EXE"},
      {"a\\b/c.txt", "c.txt", "c.txt"},
      {"a/b\\c.txt", "b\\c.txt", "c.txt"},
      {"a\\b\\c.txt", "c.txt", "c.txt"},
      {"c.txt", "c.txt", "c.txt"},
      {"a/", "", ""},
      {"", "", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.base, std::string(c.name + BaseNameOffset(c.name, kWestern))) << c.name;
    EXPECT_EQ(c.final, std::string(c.name + FinalComponentOffset(c.name, kWestern))) << c.name;
  }
  EXPECT_EQ(CStringW(L"c:\\Galvery\\Galvery.EXE"), InstallPathOf(L"c:\\Galvery", L"d:/Galvery/RELEASE/Galvery.EXE"));
  EXPECT_EQ(CStringW(L"c:\\Galvery\\\\x"), InstallPathOf(L"c:\\Galvery\\", L"x"));
  EXPECT_EQ(CStringW(L"c:\\Galvery\\表.txt"), InstallPathOf(L"c:\\Galvery", L"d:/ソフト\\表.txt"));
}

TEST(EntryNames, PlainFileNames) {
  struct Case {
    const char* name;
    NameFault fault;
  };
  const Case cases[] = {
      {"readme.txt", NameFault::kNone},     {"CONSOLE.txt", NameFault::kNone},  {"com10", NameFault::kNone},
      {"COM0", NameFault::kNone},           {"nul2", NameFault::kNone},         {"nul_x", NameFault::kNone},
      {".profile", NameFault::kNone},       {"a b.c", NameFault::kNone},        {"LPT", NameFault::kNone},
      {"", NameFault::kEmpty},              {".", NameFault::kDotName},         {"..", NameFault::kDotName},
      {"tab\there", NameFault::kControlCharacter}, {"\x01x", NameFault::kControlCharacter},
      {"a:b", NameFault::kColon},           {"a<b", NameFault::kReservedCharacter},
      {"a>b", NameFault::kReservedCharacter}, {"a\"b", NameFault::kReservedCharacter},
      {"a|b", NameFault::kReservedCharacter}, {"a?", NameFault::kReservedCharacter},
      {"a*", NameFault::kReservedCharacter}, {"a/b", NameFault::kReservedCharacter},
      {"a\\b", NameFault::kReservedCharacter}, {"x.", NameFault::kTrailingDotOrSpace},
      {"x ", NameFault::kTrailingDotOrSpace}, {"CON", NameFault::kDeviceName},
      {"con", NameFault::kDeviceName},      {"Aux .log", NameFault::kDeviceName},
      {"nul.txt", NameFault::kDeviceName},  {"nul .txt", NameFault::kDeviceName},
      {"prn.log", NameFault::kDeviceName},  {"COM1", NameFault::kDeviceName},
      {"lpt9.x", NameFault::kDeviceName},   {"conin$", NameFault::kDeviceName},
      {"CONOUT$.txt", NameFault::kDeviceName}, {"clock$", NameFault::kDeviceName},
      {"com\xB9", NameFault::kDeviceName},  {"LPT\xB3.log", NameFault::kDeviceName},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.fault, CheckPlainFileName(c.name, kWestern).fault) << c.name;
    // Decoded from UTF-8, the same name is judged the same, character by character.
    EXPECT_EQ(c.fault, CheckPlainFileName(CStringW(CString(c.name)).Str()).fault) << c.name;
  }
  for (const wchar_t* name : {L"Ελλάδα.txt", L"表.txt", L"ソフト", L"Größe", L"\U0001F600.png"})
    EXPECT_EQ(NameFault::kNone, CheckPlainFileName(std::wstring_view(name)).fault);
  EXPECT_EQ(NameFault::kDeviceName, CheckPlainFileName(std::wstring_view(L"Com\u00B2.ΤΧΤ")).fault);
  EXPECT_EQ(NameFault::kTrailingDotOrSpace, CheckPlainFileName(std::wstring_view(L"Ελλάδα.")).fault);
  // A NUL is a control character too, wherever it stands.
  EXPECT_EQ(NameFault::kControlCharacter, CheckPlainFileName(std::string_view("a\0b", 3), kWestern).fault);
  const NameCheck device = CheckPlainFileName("Nul .txt", kWestern);
  EXPECT_EQ("NUL", device.device);
  const NameCheck reserved = CheckPlainFileName("what?", kWestern);
  EXPECT_EQ('?', reserved.character);
}

// Shift-JIS characters whose second byte is a backslash or a bar: ソ 83 5C, 表 95 5C,
// 能 94 5C, ポ 83 7C. In code page 932 they are letters; read byte by byte they hold
// separators and reserved characters.
const CCodePage kJapanese = CCodePage::Numbered(932);
const char kSoftware[] = "\x83\x5C\x83\x74\x83\x67";  // ソフト
const char kTable[] = "\x95\x5C.txt";                     // 表.txt
const char kReport[] = "\x83\x8C\x83\x7C\x81\x5B\x83\x67.txt";  // レポート.txt

TEST(EntryNames, DoubleByteCharactersGoWhole) {
  const std::string stored = std::string("d:/") + kSoftware + "/" + kTable;
  EXPECT_EQ(kTable, stored.substr(FinalComponentOffset(stored, kJapanese)));
  EXPECT_EQ(kTable, stored.substr(BaseNameOffset(stored, kJapanese)));
  // Byte by byte the trail byte of 表 is the last separator.
  EXPECT_EQ(".txt", stored.substr(FinalComponentOffset(stored, kWestern)));
  const std::string backslashed = std::string(kSoftware) + "\\\x94\x5C";  // ソフト\能
  EXPECT_EQ("\x94\x5C", backslashed.substr(FinalComponentOffset(backslashed, kJapanese)));
  EXPECT_EQ("", backslashed.substr(FinalComponentOffset(backslashed, kWestern)));

  struct Case {
    const char* name;
    NameFault japanese, western;
  };
  const Case cases[] = {
      {kReport, NameFault::kNone, NameFault::kReservedCharacter},
      {kTable, NameFault::kNone, NameFault::kReservedCharacter},
      {"\x94\x5C.", NameFault::kTrailingDotOrSpace, NameFault::kReservedCharacter},
      {"a\x83", NameFault::kBrokenCharacter, NameFault::kNone},       // a lead byte at the end
      {"\x83\x20x", NameFault::kBrokenCharacter, NameFault::kNone},  // a space is no second byte
      {"\x83\x7C:", NameFault::kColon, NameFault::kReservedCharacter},
      {"com\xB9", NameFault::kNone, NameFault::kDeviceName},         // half-width katakana, not a superscript
      {"nul.\x83\x5C", NameFault::kDeviceName, NameFault::kReservedCharacter},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.japanese, CheckPlainFileName(c.name, kJapanese).fault) << c.name;
    EXPECT_EQ(c.western, CheckPlainFileName(c.name, kWestern).fault) << c.name;
  }
  EXPECT_TRUE(IsContainedDirectoryPath(std::string(kSoftware) + "/" + kSoftware, kJapanese));
  EXPECT_FALSE(IsContainedDirectoryPath(std::string(kSoftware) + "/../x", kJapanese));
}

TEST(EntryNames, ContainedDirectoryPaths) {
  for (const char* inside : {"docs", "docs/", "a/b/c", "a\\b", "a/.b", "a/...x", "a/.", ""}) {
    EXPECT_TRUE(IsContainedDirectoryPath(inside, kWestern)) << inside;
    EXPECT_TRUE(IsContainedDirectoryPath(CStringW(CString(inside)).Str())) << inside;
  }
  for (const char* outside : {"../x", "a/../b", "a\\..", "a/. ./b", "a/ .. /b", "/abs", "\\\\server\\share", "c:x",
                              "a/b:stream", "..."}) {
    EXPECT_FALSE(IsContainedDirectoryPath(outside, kWestern)) << outside;
    EXPECT_FALSE(IsContainedDirectoryPath(CStringW(CString(outside)).Str())) << outside;
  }
  EXPECT_TRUE(IsContainedDirectoryPath(std::wstring_view(L"Ελλάδα/表")));
  // A name ending in a separator is a folder's, whatever the entry's attributes say.
  EXPECT_TRUE(EndsInSeparator(std::wstring_view(L"META-INF/")));
  EXPECT_TRUE(EndsInSeparator("docs\\", kWestern));
  EXPECT_FALSE(EndsInSeparator(std::string(kSoftware) + "\x94\x5C", kJapanese));  // 能 ends in 0x5C, a letter
  EXPECT_FALSE(EndsInSeparator(std::wstring_view(L"")));
}

}  // namespace
