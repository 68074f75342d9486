// The string and list classes the program's paths and messages live in.
#include "framework/afxstr.h"
#include "tests/unit/test_support.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

class DoubleByteCodePage : public ::testing::Test {
 protected:
  void SetUp() override { env.codePage = 932; }
  testing_support::CTestEnv env;
  CScopedEnv use{&env};
};

// In Shift-JIS, 0x95 0x5C is one character whose second byte has the value of '\'.
const char kTrailBackslash[] = "a\x95\\b\\c";

TEST_F(DoubleByteCodePage, SearchesNeverMatchTheSecondByteOfACharacter) {
  const CString s(kTrailBackslash);
  EXPECT_EQ(4, s.Find('\\'));
  EXPECT_EQ(4, s.ReverseFind('\\'));
  EXPECT_EQ(-1, CString("\x95\\").ReverseFind('\\'));
  EXPECT_EQ(3, s.Find("b\\"));
  EXPECT_EQ(-1, s.Find("\\b"));  // would start on a trail byte
}

TEST_F(DoubleByteCodePage, RemoveAndMakeUpperLeaveDoubleByteCharactersWhole) {
  CString s(kTrailBackslash);
  EXPECT_EQ(1, s.Remove('\\'));
  EXPECT_EQ(CString("a\x95\\bc"), s);
  CString t("\x82\x61z");  // 0x82 0x61: one character whose trail byte is 'a'
  t.MakeUpper();
  EXPECT_EQ(CString("\x82\x61Z"), t);
}

TEST(SingleByteCodePage, EveryByteIsACharacter) {
  const CString s(kTrailBackslash);
  EXPECT_EQ(2, s.Find('\\'));
  EXPECT_EQ(4, s.ReverseFind('\\'));
  CString u("setup\xe9.exe");  // letters outside a..z stay as they are
  u.MakeUpper();
  EXPECT_EQ(CString("SETUP\xe9.EXE"), u);
}

TEST(CStringTest, FindsFromAStartAndRemovesEveryOccurrence) {
  CString s("\"C:\\a b\\\"Setup\".exe\"");
  EXPECT_EQ(0, s.Find('"'));
  EXPECT_EQ(8, s.Find('"', 1));
  EXPECT_EQ(4, s.Remove('"'));
  EXPECT_EQ(CString("C:\\a b\\Setup.exe"), s);
  EXPECT_EQ(-1, s.Find("setup"));
  EXPECT_EQ(7, s.Find("Setup"));
  EXPECT_EQ(-1, s.Find('x', 100));
}

TEST(CStringTest, FormatsTextOfAnyLength) {
  const std::string longPath(5000, 'p');
  CString s;
  s.Format("Can't open file %s. Last error %i", longPath.c_str(), 5);
  EXPECT_EQ(std::string("Can't open file ") + longPath + ". Last error 5", s.GetString());
}

TEST(CStringTest, MidLeftAndRightClampToTheText) {
  const CString s("Galvery");
  EXPECT_EQ(CString("very"), s.Mid(3));
  EXPECT_EQ(CString(""), s.Mid(9));
  EXPECT_EQ(CString("Gal"), s.Left(3));
  EXPECT_EQ(CString("Galvery"), s.Right(20));
  EXPECT_EQ(CString(""), s.Right(0));
}

TEST(CStringTest, BufferAccessTakesTheTextUpToItsTerminator) {
  CString s;
  char* buffer = s.GetBuffer(10);
  std::strcpy(buffer, "abc");
  s.ReleaseBuffer();
  EXPECT_EQ(3, s.GetLength());
  EXPECT_EQ(CString("abc"), s);
}

TEST(CStringListTest, KeepsOrderAndWalksByPosition) {
  CStringList list;
  EXPECT_TRUE(list.IsEmpty());
  EXPECT_EQ(nullptr, list.GetHeadPosition());
  list.AddTail("b");
  list.AddTail("c");
  list.AddHead("a");
  EXPECT_EQ(3, list.GetCount());
  std::string walked;
  for (POSITION pos = list.GetHeadPosition(); pos;) walked += list.GetNext(pos).GetString();
  EXPECT_EQ("abc", walked);
  walked.clear();
  for (POSITION pos = list.GetTailPosition(); pos;) walked += list.GetPrev(pos).GetString();
  EXPECT_EQ("cba", walked);
  EXPECT_EQ(CString("b"), list.GetAt(list.FindIndex(1)));
  EXPECT_EQ(nullptr, list.FindIndex(3));
  list.RemoveAll();
  EXPECT_EQ(0, list.GetCount());
  list.AddTail("again");
  EXPECT_EQ(CString("again"), list.GetHead());
  EXPECT_EQ(CString("again"), list.GetTail());
}

}  // namespace
