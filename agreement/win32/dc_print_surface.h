// The print surface of a printer's drawing context, and the text measure of a window's.
#pragma once

#include "agreement/agreement_print.h"
#include "framework/win32/afxwin.h"

class CDCPrintSurface : public CPrintSurface {
 public:
  // Sets the context to pixel units with y downward and texts placed by their top-left
  // corner, without a current position.
  explicit CDCPrintSurface(CDC& dc);
  // The font is deselected before it is deleted, on every path.
  ~CDCPrintSurface() override { RestoreFont(); }
  CDCPrintSurface(const CDCPrintSurface&) = delete;
  CDCPrintSurface& operator=(const CDCPrintSurface&) = delete;

  int GetPageWidth() const override { return m_dc.GetDeviceCaps(HORZRES); }
  int GetPageHeight() const override { return m_dc.GetDeviceCaps(VERTRES); }
  void StartDocument(const char* docName) override { m_dc.StartDoc(docName); }
  void StartPage() override { m_dc.StartPage(); }
  void EndPage() override { m_dc.EndPage(); }
  void EndDocument() override { m_dc.EndDoc(); }
  void SelectPointFont(int pointSize, const char* faceName) override;
  void RestoreFont() override;
  void WriteText(int x, int y, const CString& text) override { m_dc.TextOut(x, y, text); }
  CSize GetTextExtent(const CString& text) const override { return m_dc.GetTextExtent(text); }

 private:
  CDC& m_dc;
  CFont m_font;
  HGDIOBJ m_oldFont = nullptr;
};

// Measures in the font currently selected into a drawing context.
class CDCTextMeasure : public CTextMeasure {
 public:
  explicit CDCTextMeasure(const CDC& dc) : m_dc(dc) {}
  CSize GetTextExtent(const CString& text) const override { return m_dc.GetTextExtent(text); }

 private:
  const CDC& m_dc;
};
