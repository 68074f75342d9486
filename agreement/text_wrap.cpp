#include "agreement/text_wrap.h"

void WrapTextToWidth(const CStringList& source, CStringList& wrapped, const CTextMeasure& measure, int widthLimit) {
  wrapped.RemoveAll();
  CStringList words;
  for (POSITION pos = source.GetHeadPosition(); pos;) {
    const CString& line = source.GetNext(pos);
    if (line.IsEmpty()) {
      wrapped.AddTail(line);
      continue;
    }
    SplitByDelimiters(line, " ", words);
    CString current;
    for (POSITION w = words.GetHeadPosition(); w;) {
      const CString& word = words.GetNext(w);
      // The trailing space is measured too: it is part of the line as shown.
      CString candidate = current + word + " ";
      if (measure.GetTextExtent(candidate).cx <= widthLimit) {
        current = candidate;
        continue;
      }
      // The line so far is full; it goes out even when it is still empty (a first word
      // wider than the limit), and the word starts the next line. Words are never split.
      wrapped.AddTail(current);
      current = word + " ";
    }
    if (!current.IsEmpty()) wrapped.AddTail(current);
  }
}

int SplitByDelimiters(CString text, CString delimiters, CStringList& tokens) {
  tokens.RemoveAll();
  int count = 0;
  CString remainder = text;
  for (;;) {
    const int at = remainder.FindOneOf(delimiters);
    if (at < 0) {
      if (!remainder.IsEmpty()) {
        tokens.AddTail(remainder);
        ++count;
      }
      return count;
    }
    tokens.AddTail(remainder.Left(at));
    ++count;
    // Only the delimiter that was found goes: with a set of several characters, dropping
    // the whole set's length would swallow the start of the next piece.
    remainder = remainder.Mid(at + 1);
  }
}

void JoinLines(const CStringList& lines, CString& text) {
  for (POSITION pos = lines.GetHeadPosition(); pos;) {
    text += lines.GetNext(pos);
    text += "\r\n";
  }
}
