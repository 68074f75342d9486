// The printed agreement's page geometry, line advance and page breaks, on a surface that
// records every call and measures with exact metrics.
#include "agreement/agreement_print.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Calls = std::vector<std::string>;

// With the print font selected, every character is 10 pixels wide and a text 10 high,
// 20 when it holds the tall '|', and 5 when it is empty. Without the font, everything
// measures 1 pixel, so measuring before the font is selected shows.
class RecordingSurface : public CPrintSurface {
 public:
  RecordingSurface(int width, int height) : width_(width), height_(height) {}

  int GetPageWidth() const override { return width_; }
  int GetPageHeight() const override { return height_; }
  void StartDocument(const char* docName) override { calls.push_back(std::string("StartDoc ") + docName); }
  void StartPage() override { calls.push_back("StartPage"); }
  void EndPage() override { calls.push_back("EndPage"); }
  void EndDocument() override { calls.push_back("EndDoc"); }
  void SelectPointFont(int pointSize, const char* faceName) override {
    calls.push_back("Font " + std::string(faceName) + " " + std::to_string(pointSize));
    font_ = true;
  }
  void RestoreFont() override {
    calls.push_back("RestoreFont");
    font_ = false;
  }
  void WriteText(int x, int y, const CString& text) override {
    calls.push_back("TextOut " + std::to_string(x) + "," + std::to_string(y) + " " + text.GetString());
  }
  CSize GetTextExtent(const CString& text) const override {
    if (!font_) return CSize(text.GetLength(), 1);
    if (text.IsEmpty()) return CSize(0, 5);
    return CSize(10 * text.GetLength(), text.Find('|') >= 0 ? 20 : 10);
  }

  Calls calls;

 private:
  int width_, height_;
  bool font_ = false;
};

Calls Print(RecordingSurface& surface, const std::vector<std::string>& lines, CStringList* printLines = nullptr) {
  CStringList source, own;
  for (const std::string& line : lines) source.AddTail(line.c_str());
  PrintAgreementLines(surface, source, printLines ? *printLines : own);
  return surface.calls;
}

// The TextOut calls only.
Calls Texts(const Calls& calls) {
  Calls texts;
  for (const std::string& call : calls)
    if (call.rfind("TextOut ", 0) == 0) texts.push_back(call.substr(8));
  return texts;
}

int Count(const Calls& calls, const std::string& what) {
  int n = 0;
  for (const std::string& call : calls) n += call == what;
  return n;
}

TEST(PageLayout, MarginsAreATwentiethAndTheWrapWidthHalfOfWhatTheyLeave) {
  const CPageLayout a4 = PageLayoutFor(800, 1000);
  EXPECT_EQ(40, a4.x);
  EXPECT_EQ(360, a4.wrapWidth);
  EXPECT_EQ(50, a4.topMargin);
  EXPECT_EQ(900, a4.pageLimit);
  const CPageLayout odd = PageLayoutFor(821, 1019);
  EXPECT_EQ(41, odd.x);
  EXPECT_EQ(369, odd.wrapWidth);  // 739 / 2, truncated
  EXPECT_EQ(50, odd.topMargin);
  EXPECT_EQ(919, odd.pageLimit);
}

TEST(PrintLayout, NoLinesMakeADocumentWithoutAPage) {
  RecordingSurface surface(800, 1000);
  EXPECT_EQ((Calls{"StartDoc Print job", "Font Times New Roman 100", "RestoreFont", "EndDoc"}), Print(surface, {}));
}

TEST(PrintLayout, OneLineIsDrawnAtTheMarginsOnOnePage) {
  RecordingSurface surface(800, 1000);
  EXPECT_EQ((Calls{"StartDoc Print job", "Font Times New Roman 100", "StartPage", "TextOut 40,50 A ", "EndPage",
                   "RestoreFont", "EndDoc"}),
            Print(surface, {"A"}));
}

TEST(PrintLayout, LinesAreWrappedToHalfThePrintableWidthInThePrintFont) {
  RecordingSurface surface(800, 1000);
  CStringList printLines;
  // Six words of five letters and their spaces are exactly 360 pixels wide.
  const Calls calls = Print(surface, {"aaaaa bbbbb ccccc ddddd eeeee fffff ggggg"}, &printLines);
  EXPECT_EQ((Calls{"40,50 aaaaa bbbbb ccccc ddddd eeeee fffff ", "40,60 ggggg "}), Texts(calls));
  EXPECT_EQ(2, printLines.GetCount());
  EXPECT_EQ(CString("ggggg "), printLines.GetTail());
}

TEST(PrintLayout, ALineThatBringsYExactlyToTheLimitKeepsThePageOpen) {
  // Lines of height 10 from y = 50: the 85th brings y to 900, the limit, so the 86th is
  // drawn at 900 on the same page; it brings y past the limit and ends the page.
  RecordingSurface surface(800, 1000);
  const Calls calls = Print(surface, std::vector<std::string>(87, "w"));
  const Calls texts = Texts(calls);
  ASSERT_EQ(87u, texts.size());
  EXPECT_EQ("40,890 w ", texts[84]);
  EXPECT_EQ("40,900 w ", texts[85]);
  EXPECT_EQ("40,50 w ", texts[86]);
  EXPECT_EQ(2, Count(calls, "StartPage"));
  EXPECT_EQ(2, Count(calls, "EndPage"));
  // The second page starts right after the first one ends.
  const Calls tail(calls.end() - 6, calls.end());
  EXPECT_EQ((Calls{"EndPage", "StartPage", "TextOut 40,50 w ", "EndPage", "RestoreFont", "EndDoc"}), tail);
}

TEST(PrintLayout, ALastLineThatPassesTheLimitIsNotFollowedByAnEmptyPage) {
  RecordingSurface surface(800, 1000);
  const Calls calls = Print(surface, std::vector<std::string>(86, "w"));
  EXPECT_EQ(1, Count(calls, "StartPage"));
  EXPECT_EQ(1, Count(calls, "EndPage"));
  EXPECT_EQ((Calls{"TextOut 40,900 w ", "EndPage", "RestoreFont", "EndDoc"}), Calls(calls.end() - 4, calls.end()));
}

TEST(PrintLayout, AnEmptyLineIsAsHighAsTheLineBeforeIt) {
  RecordingSurface surface(800, 1000);
  EXPECT_EQ((Calls{"40,50 |x ", "40,70 ", "40,90 a "}), Texts(Print(surface, {"|x", "", "a"})));
  // The first line has none before it: it takes the height of the empty text.
  RecordingSurface first(800, 1000);
  EXPECT_EQ((Calls{"40,50 ", "40,55 a "}), Texts(Print(first, {"", "a"})));
}

TEST(PrintLayout, EveryPrintIsANewDocumentWithTheSameContent) {
  RecordingSurface surface(800, 1000);
  CStringList printLines;
  const std::vector<std::string> agreement = {"ONE TWO THREE FOUR FIVE SIX SEVEN EIGHT NINE TEN", "", "ELEVEN"};
  const Calls once = Print(surface, agreement, &printLines);
  const int lines = printLines.GetCount();
  surface.calls.clear();
  const Calls twice = Print(surface, agreement, &printLines);
  EXPECT_EQ(once, twice);
  EXPECT_EQ(lines, printLines.GetCount());
  EXPECT_EQ(4, lines);
}

}  // namespace
