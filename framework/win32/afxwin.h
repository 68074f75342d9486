// The small application framework the program is written against: application object,
// windows and modal dialogs with message maps, dialog data exchange, message boxes, the
// wait cursor and drawing contexts. Windows and dialogs are real Win32 ones, built from
// the program's resource templates; Windows only.
#pragma once

#include "framework/win32/afxmsg.h"
#include "framework/afxstr.h"
#include "platform/win32_api.h"

#include <map>
#include <memory>

#define ID_HELP 0xE146  // 57670

class CDataExchange;
class CWinApp;

class CCmdTarget {
 public:
  virtual ~CCmdTarget() = default;

  // Routes a command through this object's message map; true when a handler ran.
  virtual BOOL OnCmdMsg(UINT nID, int nCode);

  void BeginWaitCursor();
  void EndWaitCursor();

  // Finds the handler for a message (or, for WM_COMMAND, a control id and code).
  const AFX_MSGMAP_ENTRY* FindEntry(UINT message, UINT code, UINT id) const;

 protected:
  static const AFX_MSGMAP* GetThisMessageMap();
  virtual const AFX_MSGMAP* GetMessageMap() const;
};

class CRect : public RECT {
 public:
  CRect() : RECT{0, 0, 0, 0} {}
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  operator LPRECT() { return this; }  // NOLINT: as the framework's
};

class CFont;

// A drawing context. One that was attached (a printer's, say) is the object's own and is
// deleted with it; the derived classes give theirs back the way they got it and detach.
class CDC {
 public:
  CDC() = default;
  virtual ~CDC();
  CDC(const CDC&) = delete;
  CDC& operator=(const CDC&) = delete;

  BOOL Attach(HDC hDC);
  HDC Detach();
  HDC GetSafeHdc() const { return m_hDC; }
  operator HDC() const { return m_hDC; }  // NOLINT: as the framework's

  BOOL DrawIcon(int x, int y, HICON icon) { return ::DrawIcon(m_hDC, x, y, icon); }
  // Width and height of the text in the selected font, in logical units.
  CSize GetTextExtent(LPCTSTR text, int count) const;
  CSize GetTextExtent(const CString& text) const { return GetTextExtent(text, text.GetLength()); }
  BOOL TextOut(int x, int y, LPCTSTR text, int count) { return ::TextOutA(m_hDC, x, y, text, count); }
  BOOL TextOut(int x, int y, const CString& text) { return TextOut(x, y, text, text.GetLength()); }

  int GetDeviceCaps(int index) const { return ::GetDeviceCaps(m_hDC, index); }
  int SetMapMode(int mode) { return ::SetMapMode(m_hDC, mode); }
  UINT SetTextAlign(UINT flags) { return ::SetTextAlign(m_hDC, flags); }
  COLORREF SetTextColor(COLORREF color) { return ::SetTextColor(m_hDC, color); }
  COLORREF SetBkColor(COLORREF color) { return ::SetBkColor(m_hDC, color); }
  // Returns the object that was selected before, to be selected again when done.
  HGDIOBJ SelectObject(HGDIOBJ object) { return ::SelectObject(m_hDC, object); }

  // Printing: a document of pages. Each returns what the platform call returned.
  int StartDoc(LPCTSTR docName);
  int StartPage() { return ::StartPage(m_hDC); }
  int EndPage() { return ::EndPage(m_hDC); }
  int EndDoc() { return ::EndDoc(m_hDC); }

  HDC m_hDC = nullptr;
};

// Selects a GDI object into a drawing context for its own lifetime, then puts back the
// one that was selected before. Selecting nothing (null) changes nothing.
class CSelection {
 public:
  CSelection(CDC& dc, HGDIOBJ object) : m_dc(dc), m_previous(object ? dc.SelectObject(object) : nullptr) {}
  ~CSelection() {
    if (m_previous) m_dc.SelectObject(m_previous);
  }
  CSelection(const CSelection&) = delete;
  CSelection& operator=(const CSelection&) = delete;

 private:
  CDC& m_dc;
  HGDIOBJ m_previous;
};

// The drawing context of a WM_PAINT: BeginPaint on construction, EndPaint on destruction.
class CPaintDC : public CDC {
 public:
  explicit CPaintDC(CWnd* wnd);
  ~CPaintDC() override;

  PAINTSTRUCT m_ps;

 private:
  HWND m_hWnd;
};

// The client-area drawing context of a window: GetDC on construction, ReleaseDC on
// destruction, so it is given back on every path.
class CClientDC : public CDC {
 public:
  explicit CClientDC(CWnd* wnd);
  ~CClientDC() override;

 private:
  HWND m_hWnd;
};

// A GDI object owned by this object and deleted with it.
class CGdiObject {
 public:
  CGdiObject() = default;
  virtual ~CGdiObject() { DeleteObject(); }
  CGdiObject(const CGdiObject&) = delete;
  CGdiObject& operator=(const CGdiObject&) = delete;

  HGDIOBJ GetSafeHandle() const { return m_hObject; }
  BOOL DeleteObject();

  HGDIOBJ m_hObject = nullptr;
};

class CFont : public CGdiObject {
 public:
  operator HFONT() const { return static_cast<HFONT>(m_hObject); }  // NOLINT: as the framework's
  BOOL CreateFontIndirect(const LOGFONTA* logFont);
  // A font of `pointSize` tenths of a point for `pDC` (the screen when null): its character
  // height is LOGPIXELSY x pointSize / 720 device units, truncated, asked for in the
  // negative form that means character height rather than cell height.
  BOOL CreatePointFont(int pointSize, LPCTSTR faceName, CDC* pDC = nullptr);
};

class CWnd : public CCmdTarget {
 public:
  CWnd() = default;
  CWnd(const CWnd&) = delete;
  CWnd& operator=(const CWnd&) = delete;

  HWND GetSafeHwnd() const { return m_hWnd; }
  int GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }
  void SetWindowText(LPCTSTR text) { ::SetWindowTextA(m_hWnd, text); }
  void GetWindowText(CString& text) const;
  LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    return ::SendMessageA(m_hWnd, message, wParam, lParam);
  }
  HICON SetIcon(HICON icon, BOOL bigIcon) {
    return reinterpret_cast<HICON>(SendMessage(WM_SETICON, bigIcon, reinterpret_cast<LPARAM>(icon)));
  }
  BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
  void GetClientRect(LPRECT rect) const { ::GetClientRect(m_hWnd, rect); }
  void Invalidate(BOOL erase = TRUE) { ::InvalidateRect(m_hWnd, nullptr, erase); }
  // Moves the window to the middle of its owner, or of the screen's work area when it
  // has no owner on screen, keeping it inside the work area.
  void CenterWindow();
  // The control with that id, wrapped; the wrapper lives as long as this window object.
  CWnd* GetDlgItem(int id);
  void SetDlgItemText(int id, LPCTSTR text) { ::SetDlgItemTextA(m_hWnd, id, text); }
  int GetDlgItemText(int id, CString& text) const;
  // The control's text as typed, whatever the code page holds.
  int GetDlgItemText(int id, CStringW& text) const;
  void SetDlgItemText(int id, const CStringW& text) { ::SetDlgItemTextW(m_hWnd, id, text); }

  // Asks the platform's default handling to process the message being handled. A control
  // colour is computed at once, since the handler goes on to adjust it; anything else is
  // left to the platform after the handler returns, and its result is the platform's.
  LRESULT Default();

  // Routes one window message through the message map. True when a handler took it;
  // false leaves it to the platform's default handling.
  BOOL DispatchWindowMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);

  HWND m_hWnd = nullptr;

 protected:
  afx_msg void OnPaint() { Default(); }
  afx_msg HCURSOR OnQueryDragIcon() { return reinterpret_cast<HCURSOR>(Default()); }
  // The platform's colours for the control; pDC has them set when this returns.
  afx_msg HBRUSH OnCtlColor(CDC* /*pDC*/, CWnd* /*pWnd*/, UINT /*nCtlColor*/) {
    return reinterpret_cast<HBRUSH>(Default());
  }

  DECLARE_MESSAGE_MAP()

 private:
  struct CurrentMessage {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
  };
  bool m_defaultRequested = false;
  CurrentMessage m_current = {WM_NULL, 0, 0};
  std::map<int, std::unique_ptr<CWnd>> m_controls;
};

class CDialog : public CWnd {
 public:
  explicit CDialog(UINT templateId, CWnd* parent = nullptr);
  ~CDialog() override = default;

  // Runs the dialog modally; the result EndDialog gave, or -1 if it could not be created.
  virtual INT_PTR DoModal();
  // Creates the dialog modeless, owned by `owner` (or the active modal window), visible
  // as its template says; false if it could not be created. Until DestroyWindow, message
  // boxes belong to it.
  BOOL Create(CWnd* owner = nullptr);
  BOOL DestroyWindow();
  void EndDialog(int result) { ::EndDialog(m_hWnd, result); }
  // Moves data between the controls and the members (TRUE: controls to members).
  BOOL UpdateData(BOOL saveAndValidate = TRUE);
  virtual BOOL OnInitDialog();

 protected:
  virtual void DoDataExchange(CDataExchange* /*pDX*/) {}
  virtual void OnOK();
  virtual void OnCancel();

  UINT m_nIDHelp;  // the template id
  CWnd* m_pParentWnd;

  DECLARE_MESSAGE_MAP()

 private:
  static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
};

class CDataExchange {
 public:
  CDataExchange(CWnd* dialog, BOOL saveAndValidate) : m_bSaveAndValidate(saveAndValidate), m_pDlgWnd(dialog) {}
  BOOL m_bSaveAndValidate;
  CWnd* m_pDlgWnd;
};

// Exchanges the text of control `id` with `value`, unchanged in either direction.
void DDX_Text(CDataExchange* pDX, int id, CString& value);
void DDX_Text(CDataExchange* pDX, int id, CStringW& value);

class CWinApp : public CCmdTarget {
 public:
  explicit CWinApp(LPCTSTR appName = nullptr);
  ~CWinApp() override;

  virtual BOOL InitApplication() { return TRUE; }
  virtual BOOL InitInstance() { return TRUE; }
  virtual int ExitInstance() { return 0; }
  // Every program built on this framework does its work in modal dialogs inside
  // InitInstance, so there is no message loop of the framework's own to run.
  virtual int Run() { return ExitInstance(); }
  virtual int DoMessageBox(LPCTSTR prompt, UINT type, UINT helpId);
  // The same for wide text: names the ANSI code page cannot hold are shown as they are.
  virtual int DoMessageBox(const CStringW& prompt, UINT type, UINT helpId);
  virtual void DoWaitCursor(int code);
  // Whether the wait cursor is on: windows then keep it when the mouse moves over them.
  bool IsWaitCursorShown() const { return m_nWaitCursorCount > 0; }

  HICON LoadIcon(UINT id) const { return ::LoadIconA(m_hInstance, MAKEINTRESOURCEA(id)); }
  // Three-dimensional controls came with the old ctl3d library; every supported system
  // draws them itself.
  BOOL Enable3dControlsStatic() { return TRUE; }
  // No help file ships with the program.
  afx_msg void OnHelp() {}

  // Called by the framework before InitInstance: the title is the program file's base
  // name without its extension, unless a name was given to the constructor.
  void SetCurrentHandles(HINSTANCE instance);

  LPCTSTR m_pszAppName = nullptr;
  HINSTANCE m_hInstance = nullptr;
  CWnd* m_pMainWnd = nullptr;

 protected:
  DECLARE_MESSAGE_MAP()

 private:
  CString m_appName;
  CStringW m_appNameW;
  int m_nWaitCursorCount = 0;
  HCURSOR m_hcurWaitCursorRestore = nullptr;
};

CWinApp* AfxGetApp();
CWnd* AfxGetMainWnd();
HINSTANCE AfxGetInstanceHandle();
// A message box captioned with the application title; with no icon flag in `type`,
// the exclamation icon is added.
int AfxMessageBox(LPCTSTR text, UINT type = MB_OK, UINT helpId = 0);
int AfxMessageBox(const CStringW& text, UINT type = MB_OK, UINT helpId = 0);
// Handles the messages waiting in the thread's queue and returns: a long piece of work
// on the one thread calls it now and then, so that its windows keep answering. Keys for
// the modeless dialogs go to them as the dialog manager takes them. A quit message is
// left for the loop that owns it.
void AfxPumpWaitingMessages();
// The framework's entry point: sets the application up and runs InitInstance.
int AfxWinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show);

// Shows the wait cursor for its lifetime.
class CWaitCursor {
 public:
  CWaitCursor() { AfxGetApp()->DoWaitCursor(1); }
  ~CWaitCursor() { AfxGetApp()->DoWaitCursor(-1); }
  CWaitCursor(const CWaitCursor&) = delete;
  CWaitCursor& operator=(const CWaitCursor&) = delete;
};
