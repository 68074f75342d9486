// Printing the agreement: one document of pages, the lines wrapped to half the printable
// width and laid out top to bottom. The layout needs only the page size, a font, text
// output and a text measure from the printer, so it runs on any print surface.
#pragma once

#include "agreement/text_wrap.h"

// A printer as the layout sees it: device pixels, y growing downward, a text placed by
// its top-left corner.
class CPrintSurface : public CTextMeasure {
 public:
  virtual int GetPageWidth() const = 0;   // the printable width in pixels
  virtual int GetPageHeight() const = 0;  // the printable height in pixels
  virtual void StartDocument(const char* docName) = 0;
  virtual void StartPage() = 0;
  virtual void EndPage() = 0;
  virtual void EndDocument() = 0;
  // Makes a font of `pointSize` tenths of a point current for drawing and measuring,
  // until RestoreFont puts back the one that was current before.
  virtual void SelectPointFont(int pointSize, const char* faceName) = 0;
  virtual void RestoreFont() = 0;
  virtual void WriteText(int x, int y, const CString& text) = 0;
};

// Where the lines of a page go, from the page's size in pixels.
struct CPageLayout {
  int x;          // left edge of every line: a twentieth of the width
  int wrapWidth;  // half of what the left and right margins leave
  int topMargin;  // y of the first line of every page: a twentieth of the height
  int pageLimit;  // the page ends when the next line would start below this
};
CPageLayout PageLayoutFor(int pageWidth, int pageHeight);

extern const char kPrintDocName[];    // "Print job"
extern const char kPrintFontFace[];   // "Times New Roman"
constexpr int kPrintFontPointSize = 100;  // tenths of a point

// Prints `lines` as one document, wrapped into `printLines` (emptied first). Results of
// the printer calls are not examined: a failing printer prints nothing and says so itself.
void PrintAgreementLines(CPrintSurface& surface, const CStringList& lines, CStringList& printLines);
