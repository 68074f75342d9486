// How an entry's name reads: bit 11, the Unicode Path extra field, or the code page; and
// the UTF-8 that counts as valid.
#include "archive/name_encoding.h"
#include "platform/utf8.h"
#include "tests/unit/zip_builder.h"

#include <gtest/gtest.h>

namespace {

using testing_support::Crc32;
using testing_support::ExtraBlock;

// A Unicode Path field for `stored`: version, the CRC-32 of the name it was made for, and
// the UTF-8 name.
std::string UnicodePath(const std::string& utf8, const std::string& madeFor, char version = 1) {
  const uint32_t crc = Crc32(madeFor);
  std::string data(1, version);
  for (int i = 0; i < 4; ++i) data += char(crc >> (8 * i) & 0xFF);
  return ExtraBlock("up", data + utf8);
}

const uint16_t kUnix = 0x031E, kDos = 0x0014, kHpfs = 0x0614, kNtfs = 0x0A3F, kVfat = 0x0E14, kMacintosh = 0x0714,
               kAcorn = 0x0D14, kOs400 = 0x1214;

DecodedName Decode(const std::string& stored, uint16_t flags, const std::string& extra, uint16_t madeBy = kUnix) {
  return DecodeEntryName(stored, flags, madeBy, reinterpret_cast<const uint8_t*>(extra.data()), extra.size());
}

TEST(NameEncoding, DecidedAsOtherReadersDecide) {
  const std::string greek = "Ελλάδα.txt";
  const std::string cp437 = "\x82t\x82.txt";  // what an old writer may store for it
  struct Case {
    const char* what;
    std::string stored;
    uint16_t flags;
    std::string extra;
    NameEncoding encoding;
    bool valid;
    std::string utf8;
  };
  const Case cases[] = {
      {"plain ASCII", "readme.txt", 0, "", NameEncoding::kCodePage, true, ""},
      {"code page bytes", "Gr\xF6\xDF" "e.txt", 0, "", NameEncoding::kCodePage, true, ""},
      {"bit 11", greek, 0x0800, "", NameEncoding::kUtf8Flag, true, greek},
      {"bit 11 among others", "表.txt", 0x0808, "", NameEncoding::kUtf8Flag, true, "表.txt"},
      {"Unicode Path field", cp437, 0, UnicodePath(greek, cp437), NameEncoding::kUnicodePathField, true, greek},
      {"field behind another block", cp437, 0, ExtraBlock("UT", "\x01xxxx") + UnicodePath(greek, cp437),
       NameEncoding::kUnicodePathField, true, greek},
      {"field made for another name", cp437, 0, UnicodePath(greek, "renamed.txt"), NameEncoding::kCodePage, true, ""},
      {"field of version 2", cp437, 0, UnicodePath(greek, cp437, 2), NameEncoding::kCodePage, true, ""},
      {"field too short", cp437, 0, ExtraBlock("up", "\x01\x00"), NameEncoding::kCodePage, true, ""},
      {"field cut short", cp437, 0, UnicodePath(greek, cp437).substr(0, 12), NameEncoding::kCodePage, true, ""},
      {"bit 11 before the field", greek, 0x0800, UnicodePath("other", greek), NameEncoding::kUtf8Flag, true, greek},
      {"bit 11, overlong", "\xC0\xAF.txt", 0x0800, "", NameEncoding::kUtf8Flag, false, "\xC0\xAF.txt"},
      {"bit 11, surrogate", "\xED\xA0\x80.txt", 0x0800, "", NameEncoding::kUtf8Flag, false, "\xED\xA0\x80.txt"},
      {"bit 11, cut short", "a\xE2\x82", 0x0800, "", NameEncoding::kUtf8Flag, false, "a\xE2\x82"},
      {"bit 11, Latin-1 bytes", "Gr\xF6\xDF" "e.txt", 0x0800, "", NameEncoding::kUtf8Flag, false, "Gr\xF6\xDF" "e.txt"},
      {"bit 11, beyond U+10FFFF", "\xF4\x90\x80\x80", 0x0800, "", NameEncoding::kUtf8Flag, false, "\xF4\x90\x80\x80"},
      {"field, invalid UTF-8", cp437, 0, UnicodePath("\xFF.txt", cp437), NameEncoding::kUnicodePathField, false,
       "\xFF.txt"},
      {"field, a NUL inside", cp437, 0, UnicodePath(std::string("a\0b", 3), cp437), NameEncoding::kUnicodePathField,
       false, std::string("a\0b", 3)},
  };
  for (const Case& c : cases) {
    const DecodedName d = Decode(c.stored, c.flags, c.extra);
    EXPECT_EQ(c.encoding, d.encoding) << c.what;
    EXPECT_EQ(c.valid, d.valid) << c.what;
    EXPECT_EQ(c.utf8, d.utf8) << c.what;
  }
}

TEST(NameEncoding, AnUnflaggedNameOfADosLikeHostIsInTheOemCodePage) {
  const std::string oem = "\x99lf\x84sser.txt";  // Ölfässer.txt in code page 437
  const std::string greek = "Ελλάδα.txt";
  for (const uint16_t host : {kDos, kHpfs, kNtfs, kVfat}) {
    EXPECT_EQ(NameEncoding::kOemCodePage, Decode(oem, 0, "", host).encoding) << host;
    EXPECT_TRUE(Decode(oem, 0, "", host).valid) << host;
    // The flag and a valid Unicode Path field still come first.
    EXPECT_EQ(NameEncoding::kUtf8Flag, Decode(greek, 0x0800, "", host).encoding) << host;
    EXPECT_EQ(NameEncoding::kUnicodePathField, Decode(oem, 0, UnicodePath(greek, oem), host).encoding) << host;
    EXPECT_EQ(greek, Decode(oem, 0, UnicodePath(greek, oem), host).utf8) << host;
    // A field made for another name is ignored: the host decides again.
    EXPECT_EQ(NameEncoding::kOemCodePage, Decode(oem, 0, UnicodePath(greek, "other"), host).encoding) << host;
  }
  for (const uint16_t host : {kUnix, kMacintosh, kAcorn, kOs400})
    EXPECT_EQ(NameEncoding::kCodePage, Decode(oem, 0, "", host).encoding) << host;
  // The version in the low byte does not matter; only the host in the high one.
  EXPECT_EQ(NameEncoding::kOemCodePage, Decode(oem, 0, "", 0x003F).encoding);
  EXPECT_EQ(NameEncoding::kCodePage, Decode(oem, 0, "", 0x0100).encoding);  // Amiga
}

TEST(NameEncoding, Utf8AndWideTextRoundTrip) {
  for (const std::string text : {"", "a", "Ελλάδα", "表.txt", "\xF0\x9F\x98\x80 smile", "\xEF\xBF\xBF"}) {
    EXPECT_TRUE(IsValidUtf8(text)) << text;
    EXPECT_EQ(text, Utf8FromWide(WideFromUtf8(text))) << text;
  }
  EXPECT_EQ(std::wstring(L"\U0001F600"), WideFromUtf8("\xF0\x9F\x98\x80"));
  EXPECT_EQ(std::wstring(L"a\uFFFDb"), WideFromUtf8("a\xFF" "b"));
}

}  // namespace
