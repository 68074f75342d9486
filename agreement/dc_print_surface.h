// The print surface of a printer's drawing context.
#pragma once

#include "agreement/agreement_print.h"

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
  void StartDoc(LPCTSTR docName) override { m_dc.StartDoc(docName); }
  void StartPage() override { m_dc.StartPage(); }
  void EndPage() override { m_dc.EndPage(); }
  void EndDoc() override { m_dc.EndDoc(); }
  void SelectPointFont(int pointSize, LPCTSTR faceName) override;
  void RestoreFont() override;
  void TextOut(int x, int y, const CString& text) override { m_dc.TextOut(x, y, text); }
  CSize GetTextExtent(const CString& text) const override { return m_dc.GetTextExtent(text); }

 private:
  CDC& m_dc;
  CFont m_font;
  HGDIOBJ m_oldFont = nullptr;
};
