#include "agreement/agreement_print.h"

const char kPrintDocName[] = "Print job";
const char kPrintFontFace[] = "Times New Roman";

CPageLayout PageLayoutFor(int pageWidth, int pageHeight) {
  CPageLayout layout;
  layout.x = pageWidth / 20;
  layout.wrapWidth = (pageWidth - 2 * layout.x) / 2;
  layout.topMargin = pageHeight / 20;
  layout.pageLimit = pageHeight - 2 * layout.topMargin;
  return layout;
}

void PrintAgreementLines(CPrintSurface& surface, const CStringList& lines, CStringList& printLines) {
  const int pageHeight = surface.GetPageHeight();
  const int pageWidth = surface.GetPageWidth();
  const CPageLayout layout = PageLayoutFor(pageWidth, pageHeight);

  surface.StartDocument(kPrintDocName);
  surface.SelectPointFont(kPrintFontPointSize, kPrintFontFace);
  WrapTextToWidth(lines, printLines, surface, layout.wrapWidth);

  int y = layout.topMargin;
  bool newPage = true;
  const CString* previous = nullptr;
  for (POSITION pos = printLines.GetHeadPosition(); pos;) {
    const CString& line = printLines.GetNext(pos);
    if (newPage) surface.StartPage();
    surface.WriteText(layout.x, y, line);
    // An empty line is as high as the line before it, a blank line in the same font.
    y += surface.GetTextExtent(line.IsEmpty() && previous ? *previous : line).cy;
    // The test comes after drawing: a line that starts above the limit is printed on
    // this page even when it reaches below it.
    newPage = y > layout.pageLimit;
    if (newPage) {
      surface.EndPage();
      y = layout.topMargin;
    }
    previous = &line;
  }
  if (!newPage) surface.EndPage();

  surface.RestoreFont();
  surface.EndDocument();
}
