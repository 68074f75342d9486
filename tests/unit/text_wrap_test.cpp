// Word-wrapping by measured width, splitting at delimiters and joining with CR LF,
// measured with exact metrics: every character is one pixel wide.
#include "agreement/text_wrap.h"
#include "tests/unit/test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class OnePixelPerCharacter : public CTextMeasure {
 public:
  CSize GetTextExtent(const CString& text) const override { return CSize(text.GetLength(), 10); }
};

using Lines = std::vector<std::string>;

void Fill(CStringList& list, const Lines& lines) {
  list.RemoveAll();
  for (const std::string& line : lines) list.AddTail(line.c_str());
}

Lines Read(const CStringList& list) {
  Lines lines;
  for (POSITION pos = list.GetHeadPosition(); pos;) lines.emplace_back(list.GetNext(pos).GetString());
  return lines;
}

Lines Wrap(const Lines& source, int widthLimit) {
  CStringList in, out;
  Fill(in, source);
  WrapTextToWidth(in, out, OnePixelPerCharacter(), widthLimit);
  return Read(out);
}

TEST(WrapTextToWidth, ParagraphsThatFitKeepTheirBlankLineAndGainATrailingSpace) {
  EXPECT_EQ((Lines{"A ", "", "B "}), Wrap({"A", "", "B"}, 100));
  EXPECT_EQ((Lines{""}), Wrap({""}, 100));
  EXPECT_EQ((Lines{"aa ", "bb "}), Wrap({"aa", "bb"}, 100));  // each source line starts afresh
}

TEST(WrapTextToWidth, EmptiesTheDestinationFirst) {
  CStringList in, out;
  Fill(out, {"left over"});
  WrapTextToWidth(in, out, OnePixelPerCharacter(), 100);
  EXPECT_TRUE(out.IsEmpty());
  Fill(in, {"x"});
  WrapTextToWidth(in, out, OnePixelPerCharacter(), 100);
  EXPECT_EQ((Lines{"x "}), Read(out));
}

TEST(WrapTextToWidth, BreaksAtTheLastSpaceWhereTheLineWithItsTrailingSpaceFits) {
  // "aa bb " is exactly 6 wide and fits; "aa bb cc " does not.
  EXPECT_EQ((Lines{"aa bb ", "cc dd "}), Wrap({"aa bb cc dd"}, 6));
  // "ab cd" alone would fit in 5, but the line is measured with its trailing space.
  EXPECT_EQ((Lines{"ab ", "cd "}), Wrap({"ab cd"}, 5));
  EXPECT_EQ((Lines{"ab cd "}), Wrap({"ab cd"}, 6));
}

TEST(WrapTextToWidth, KeepsEverySpaceOfTheSource) {
  EXPECT_EQ((Lines{"a  b "}), Wrap({"a  b"}, 100));
  EXPECT_EQ((Lines{"a "}), Wrap({"a "}, 100));  // a trailing space is not doubled
  EXPECT_EQ((Lines{" "}), Wrap({" "}, 100));
  EXPECT_EQ((Lines{" a "}), Wrap({" a"}, 100));
  // A run of spaces at a break stays with the line before it.
  EXPECT_EQ((Lines{"a  ", "b "}), Wrap({"a  b"}, 3));
}

TEST(WrapTextToWidth, AWordWiderThanTheLimitStandsAloneAndIsNeverSplit) {
  // First in its line: the empty line under construction goes out before it.
  EXPECT_EQ((Lines{"", "abcdefgh ", "xy "}), Wrap({"abcdefgh xy"}, 5));
  // Later in the line: the words before it form one line, no empty line.
  EXPECT_EQ((Lines{"ab ", "abcdefgh ", "cd "}), Wrap({"ab abcdefgh cd"}, 5));
  EXPECT_EQ((Lines{"A ", "", "", "abcdefgh "}), Wrap({"A", "", "abcdefgh"}, 5));
}

TEST(WrapTextToWidth, AZeroLimitPutsEveryWordOnALineOfItsOwn) {
  EXPECT_EQ((Lines{"", "a ", "bb ", "", "", "c "}), Wrap({"a bb", "", "c"}, 0));
  EXPECT_EQ((Lines{"", " ", "a "}), Wrap({" a"}, 0));
}

int Split(const std::string& text, const std::string& delimiters, Lines* tokens) {
  CStringList out;
  Fill(out, {"left over"});
  const int count = SplitByDelimiters(text.c_str(), delimiters.c_str(), out);
  *tokens = Read(out);
  return count;
}

TEST(SplitByDelimiters, CutsAtEverySpaceAndCountsWhatItPutIntoTheList) {
  Lines tokens;
  EXPECT_EQ(2, Split("a b", " ", &tokens));
  EXPECT_EQ((Lines{"a", "b"}), tokens);
  EXPECT_EQ(2, Split(" a", " ", &tokens));
  EXPECT_EQ((Lines{"", "a"}), tokens);
  EXPECT_EQ(3, Split("a  b", " ", &tokens));
  EXPECT_EQ((Lines{"a", "", "b"}), tokens);
  EXPECT_EQ(1, Split("a ", " ", &tokens));
  EXPECT_EQ((Lines{"a"}), tokens);
  EXPECT_EQ(0, Split("", " ", &tokens));
  EXPECT_EQ(Lines{}, tokens);
  EXPECT_EQ(1, Split("abc", " ", &tokens));
  EXPECT_EQ((Lines{"abc"}), tokens);
}

TEST(SplitByDelimiters, ASetOfSeveralCharactersLosesNoText) {
  Lines tokens;
  EXPECT_EQ(3, Split("a,b c", ", ", &tokens));
  EXPECT_EQ((Lines{"a", "b", "c"}), tokens);
  EXPECT_EQ(3, Split("a, b", ", ", &tokens));
  EXPECT_EQ((Lines{"a", "", "b"}), tokens);
  EXPECT_EQ(1, Split("a b", "", &tokens));
  EXPECT_EQ((Lines{"a b"}), tokens);
}

TEST(SplitByDelimiters, NeverCutsADoubleByteCharacterAtItsSecondByte) {
  testing_support::CTestEnv env;
  env.codePage = 932;
  CScopedEnv use(&env);
  Lines tokens;
  // 0x81 0x40 is one Shift-JIS character whose second byte is '@'.
  const int count = Split("\x81\x40@x", "@", &tokens);
  EXPECT_EQ(2, count);
  EXPECT_EQ((Lines{"\x81\x40", "x"}), tokens);
}

TEST(JoinLines, AppendsEveryLineWithCrLfToWhatTheTextHolds) {
  CStringList lines;
  Fill(lines, {"A ", "", "B "});
  CString text;
  JoinLines(lines, text);
  EXPECT_EQ(CString("A \r\n\r\nB \r\n"), text);
  JoinLines(lines, text);
  EXPECT_EQ(CString("A \r\n\r\nB \r\nA \r\n\r\nB \r\n"), text);
  CStringList none;
  JoinLines(none, text);
  EXPECT_EQ(CString("A \r\n\r\nB \r\nA \r\n\r\nB \r\n"), text);
}

}  // namespace
