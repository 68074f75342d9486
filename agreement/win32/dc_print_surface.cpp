#include "agreement/win32/dc_print_surface.h"

CDCPrintSurface::CDCPrintSurface(CDC& dc) : m_dc(dc) {
  m_dc.SetMapMode(MM_TEXT);
  m_dc.SetTextAlign(TA_LEFT | TA_TOP | TA_NOUPDATECP);
}

void CDCPrintSurface::SelectPointFont(int pointSize, const char* faceName) {
  RestoreFont();
  // A font that could not be made selects nothing: the printer's own font prints then.
  if (m_font.CreatePointFont(pointSize, faceName, &m_dc)) m_oldFont = m_dc.SelectObject(m_font.GetSafeHandle());
}

void CDCPrintSurface::RestoreFont() {
  if (m_oldFont) m_dc.SelectObject(m_oldFont);
  m_oldFont = nullptr;
}
