#include "framework/win32/afxwin.h"

#include <cstdlib>
#include <cstring>
#include <optional>

// ---- CDC ----

CDC::~CDC() {
  if (m_hDC) ::DeleteDC(Detach());
}

BOOL CDC::Attach(HDC hDC) {
  if (!hDC || m_hDC) return FALSE;
  m_hDC = hDC;
  return TRUE;
}

HDC CDC::Detach() {
  HDC hDC = m_hDC;
  m_hDC = nullptr;
  return hDC;
}

CSize CDC::GetTextExtent(LPCTSTR text, int count) const {
  SIZE size = {0, 0};
  ::GetTextExtentPoint32A(m_hDC, text, count, &size);
  return CSize(int(size.cx), int(size.cy));
}

int CDC::StartDoc(LPCTSTR docName) {
  DOCINFOA doc;
  std::memset(&doc, 0, sizeof doc);
  doc.cbSize = sizeof doc;
  doc.lpszDocName = docName;
  return ::StartDocA(m_hDC, &doc);
}

// ---- CPaintDC, CClientDC ----

CPaintDC::CPaintDC(CWnd* wnd) : m_hWnd(wnd->m_hWnd) { Attach(::BeginPaint(m_hWnd, &m_ps)); }

CPaintDC::~CPaintDC() {
  ::EndPaint(m_hWnd, &m_ps);
  Detach();
}

CClientDC::CClientDC(CWnd* wnd) : m_hWnd(wnd ? wnd->m_hWnd : nullptr) { Attach(::GetDC(m_hWnd)); }

CClientDC::~CClientDC() {
  if (m_hDC) ::ReleaseDC(m_hWnd, Detach());
}

// ---- CGdiObject, CFont ----

BOOL CGdiObject::DeleteObject() {
  if (!m_hObject) return FALSE;
  HGDIOBJ object = m_hObject;
  m_hObject = nullptr;
  return ::DeleteObject(object);
}

BOOL CFont::CreateFontIndirect(const LOGFONTA* logFont) {
  DeleteObject();
  m_hObject = ::CreateFontIndirectA(logFont);
  return m_hObject != nullptr;
}

BOOL CFont::CreatePointFont(int pointSize, LPCTSTR faceName, CDC* pDC) {
  LOGFONTA lf;
  std::memset(&lf, 0, sizeof lf);
  lf.lfCharSet = DEFAULT_CHARSET;
  if (faceName) {
    std::strncpy(lf.lfFaceName, faceName, LF_FACESIZE - 1);
  }
  // Without a context the screen's resolution counts.
  std::optional<CClientDC> screen;
  if (!pDC) pDC = &screen.emplace(nullptr);
  const int height = pDC->GetDeviceCaps(LOGPIXELSY) * pointSize / 720;
  lf.lfHeight = -std::abs(height);
  return CreateFontIndirect(&lf);
}
