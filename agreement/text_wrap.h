// Word-wrapping of string lists to a width in pixels, measured through a text measure,
// and the two string operations around it. The agreement dialog wraps to its text box,
// printing wraps to half the printable width of the page.
#pragma once

#include "framework/afxstr.h"

// Width and height of a text in whatever font a drawing context holds. It is all that
// wrapping asks of a context, so that wrapping can be exercised with exact metrics.
class CTextMeasure {
 public:
  virtual ~CTextMeasure() = default;
  // The extent of the whole text; an empty text is as high as the font and 0 wide.
  virtual CSize GetTextExtent(const CString& text) const = 0;
};

// Empties `wrapped` and fills it with the lines of `source` wrapped at spaces so that no
// line, its trailing space included, is wider than `widthLimit`, unless it holds a single
// word that is wider by itself. Every line of a non-empty source line ends in one space;
// runs of spaces are kept; an empty source line stays one empty line.
void WrapTextToWidth(const CStringList& source, CStringList& wrapped, const CTextMeasure& measure, int widthLimit);

// Empties `tokens` and fills it with the pieces of `text` between characters of the set
// `delimiters`: two delimiters in a row give an empty piece between them, a delimiter at
// the start an empty first piece, and one at the end nothing after it. Returns the count.
int SplitByDelimiters(CString text, CString delimiters, CStringList& tokens);

// Appends every line, each followed by CR LF, to `text` (which is not emptied first).
void JoinLines(const CStringList& lines, CString& text);
