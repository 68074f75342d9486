#include "framework/win32/afxwin.h"
#include "framework/win32/modal.h"

#include <vector>

namespace {

// A dialog procedure returns these messages' results itself instead of through
// DWLP_MSGRESULT.
bool ReturnsDirectly(UINT message) {
  return message == WM_INITDIALOG || message == WM_QUERYDRAGICON ||
         (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC);
}

}  // namespace

// ---- CCmdTarget ----

const AFX_MSGMAP* CCmdTarget::GetThisMessageMap() {
  static const AFX_MSGMAP_ENTRY entries[] = {{0, 0, 0, 0, AfxSig_end, nullptr}};
  static const AFX_MSGMAP map = {nullptr, entries};
  return &map;
}

const AFX_MSGMAP* CCmdTarget::GetMessageMap() const { return GetThisMessageMap(); }

const AFX_MSGMAP_ENTRY* CCmdTarget::FindEntry(UINT message, UINT code, UINT id) const {
  for (const AFX_MSGMAP* map = GetMessageMap(); map; map = map->pfnGetBaseMap ? map->pfnGetBaseMap() : nullptr) {
    for (const AFX_MSGMAP_ENTRY* e = map->lpEntries; e->nSig != AfxSig_end; ++e) {
      if (e->nMessage != message) continue;
      if (message != WM_COMMAND || (e->nCode == code && e->nID <= id && id <= e->nLastID)) return e;
    }
  }
  return nullptr;
}

BOOL CCmdTarget::OnCmdMsg(UINT nID, int nCode) {
  const AFX_MSGMAP_ENTRY* e = FindEntry(WM_COMMAND, UINT(nCode), nID);
  if (!e) return FALSE;
  (this->*(e->pfn))();
  return TRUE;
}

void CCmdTarget::BeginWaitCursor() { AfxGetApp()->DoWaitCursor(1); }
void CCmdTarget::EndWaitCursor() { AfxGetApp()->DoWaitCursor(-1); }

// ---- CWnd ----

BEGIN_MESSAGE_MAP(CWnd, CCmdTarget)
END_MESSAGE_MAP()

void CWnd::GetWindowText(CString& text) const {
  const int n = ::GetWindowTextLengthA(m_hWnd);
  const int got = ::GetWindowTextA(m_hWnd, text.GetBuffer(n + 1), n + 1);
  text.ReleaseBuffer(got);
}

int CWnd::GetDlgItemText(int id, CString& text) const {
  const int n = ::GetWindowTextLengthA(::GetDlgItem(m_hWnd, id));
  const int got = int(::GetDlgItemTextA(m_hWnd, id, text.GetBuffer(n + 1), n + 1));
  text.ReleaseBuffer(got);
  return got;
}

int CWnd::GetDlgItemText(int id, CStringW& text) const {
  const int n = ::GetWindowTextLengthW(::GetDlgItem(m_hWnd, id));
  const int got = int(::GetDlgItemTextW(m_hWnd, id, text.GetBuffer(n + 1), n + 1));
  text.ReleaseBuffer(got);
  return got;
}

CWnd* CWnd::GetDlgItem(int id) {
  HWND control = ::GetDlgItem(m_hWnd, id);
  if (!control) return nullptr;
  auto& slot = m_controls[id];
  if (!slot) slot = std::make_unique<CWnd>();
  slot->m_hWnd = control;
  return slot.get();
}

void CWnd::CenterWindow() {
  RECT work, area, rect;
  if (!::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0) || !::GetWindowRect(m_hWnd, &rect)) return;
  HWND owner = ::GetWindow(m_hWnd, GW_OWNER);
  if (!owner || !::IsWindowVisible(owner) || ::IsIconic(owner) || !::GetWindowRect(owner, &area)) area = work;
  const LONG width = rect.right - rect.left, height = rect.bottom - rect.top;
  LONG x = area.left + (area.right - area.left - width) / 2;
  LONG y = area.top + (area.bottom - area.top - height) / 2;
  if (x + width > work.right) x = work.right - width;
  if (y + height > work.bottom) y = work.bottom - height;
  if (x < work.left) x = work.left;
  if (y < work.top) y = work.top;
  ::SetWindowPos(m_hWnd, nullptr, int(x), int(y), 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT CWnd::Default() {
  const CurrentMessage& m = m_current;
  // A dialog's default handling of these is the window's; the handler builds on it.
  if (m.message >= WM_CTLCOLORMSGBOX && m.message <= WM_CTLCOLORSTATIC)
    return ::DefWindowProcA(m_hWnd, m.message, m.wParam, m.lParam);
  m_defaultRequested = true;
  return 0;
}

namespace {

// A context lent to a handler for one message: it belongs to the sender.
class CBorrowedDC : public CDC {
 public:
  explicit CBorrowedDC(HDC hDC) { Attach(hDC); }
  ~CBorrowedDC() override { Detach(); }
};

}  // namespace

BOOL CWnd::DispatchWindowMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  *result = 0;
  if (message == WM_COMMAND) {
    if (OnCmdMsg(LOWORD(wParam), HIWORD(wParam))) return TRUE;
    // Commands nobody here handles go on to the application, as menus' commands do.
    return AfxGetApp() && AfxGetApp()->OnCmdMsg(LOWORD(wParam), HIWORD(wParam));
  }
  const bool ctlColor = message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC;
  const AFX_MSGMAP_ENTRY* e = FindEntry(ctlColor ? UINT(WM_CTLCOLOR) : message, 0, 0);
  if (!e) return FALSE;
  // Handlers may send messages of their own to this window: restore what Default() sees.
  const CurrentMessage outer = m_current;
  const bool outerDefault = m_defaultRequested;
  m_current = {message, wParam, lParam};
  m_defaultRequested = false;
  BOOL handled = TRUE;
  switch (e->nSig) {
    case AfxSig_vv:
      (this->*static_cast<void (CWnd::*)()>(e->pfn))();
      break;
    case AfxSig_hv:
      *result = reinterpret_cast<LRESULT>((this->*AfxHandlerCast<HCURSOR (CWnd::*)()>(e->pfn))());
      break;
    case AfxSig_hDWw: {
      CBorrowedDC dc(reinterpret_cast<HDC>(wParam));
      const HWND control = reinterpret_cast<HWND>(lParam);
      // The dialog itself asks with its own handle; a control is wrapped for the call.
      CWnd temporary;
      CWnd* pWnd = this;
      if (control != m_hWnd) {
        temporary.m_hWnd = control;
        pWnd = &temporary;
      }
      const HBRUSH brush = (this->*AfxHandlerCast<HBRUSH (CWnd::*)(CDC*, CWnd*, UINT)>(e->pfn))(
          &dc, pWnd, message - WM_CTLCOLORMSGBOX);
      *result = reinterpret_cast<LRESULT>(brush);
      break;
    }
    default:
      handled = FALSE;
      break;
  }
  // A handler that called Default() leaves the message to the platform.
  if (handled && m_defaultRequested) handled = FALSE;
  m_current = outer;
  m_defaultRequested = outerDefault;
  return handled;
}

// ---- CDialog ----

BEGIN_MESSAGE_MAP(CDialog, CWnd)
  ON_COMMAND(IDOK, &CDialog::OnOK)
  ON_COMMAND(IDCANCEL, &CDialog::OnCancel)
END_MESSAGE_MAP()

namespace {
// The modal dialogs that are running and the modeless ones that are open, innermost
// last: message boxes belong to it.
std::vector<CDialog*> g_modalDialogs;
std::vector<CDialog*> g_modelessDialogs;

void Forget(std::vector<CDialog*>& dialogs, CDialog* dialog) {
  for (auto it = dialogs.begin(); it != dialogs.end(); ++it)
    if (*it == dialog) {
      dialogs.erase(it);
      return;
    }
}
}  // namespace

HWND AfxActiveModalWindow() {
  if (!g_modelessDialogs.empty()) return g_modelessDialogs.back()->m_hWnd;
  return g_modalDialogs.empty() ? nullptr : g_modalDialogs.back()->m_hWnd;
}

void AfxPumpWaitingMessages() {
  MSG msg;
  while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      ::PostQuitMessage(int(msg.wParam));
      return;
    }
    bool taken = false;
    // By index: a message may close one of them.
    for (size_t i = 0; !taken && i < g_modelessDialogs.size(); ++i)
      taken = g_modelessDialogs[i]->m_hWnd && ::IsDialogMessageA(g_modelessDialogs[i]->m_hWnd, &msg);
    if (taken) continue;
    ::TranslateMessage(&msg);
    ::DispatchMessageA(&msg);
  }
}

CDialog::CDialog(UINT templateId, CWnd* parent) : m_nIDHelp(templateId), m_pParentWnd(parent) {}

INT_PTR CDialog::DoModal() {
  HWND parent = m_pParentWnd ? m_pParentWnd->m_hWnd : AfxActiveModalWindow();
  g_modalDialogs.push_back(this);
  const INT_PTR result = AfxRunModalDialog(AfxGetInstanceHandle(), m_nIDHelp, parent,
                                           &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
  g_modalDialogs.pop_back();
  m_hWnd = nullptr;
  return result;
}

BOOL CDialog::Create(CWnd* owner) {
  HWND parent = owner ? owner->m_hWnd : AfxActiveModalWindow();
  const HWND created = ::CreateDialogParamA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(m_nIDHelp), parent,
                                            &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
  if (!created) return FALSE;
  g_modelessDialogs.push_back(this);
  return TRUE;
}

BOOL CDialog::DestroyWindow() {
  Forget(g_modelessDialogs, this);
  if (!m_hWnd) return FALSE;
  const BOOL destroyed = ::DestroyWindow(m_hWnd);
  m_hWnd = nullptr;
  return destroyed;
}

BOOL CDialog::UpdateData(BOOL saveAndValidate) {
  CDataExchange dx(this, saveAndValidate);
  DoDataExchange(&dx);
  return TRUE;
}

BOOL CDialog::OnInitDialog() {
  UpdateData(FALSE);
  return TRUE;
}

void CDialog::OnOK() {
  if (!UpdateData(TRUE)) return;
  EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

INT_PTR CALLBACK CDialog::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  CDialog* dialog;
  if (message == WM_INITDIALOG) {
    dialog = reinterpret_cast<CDialog*>(lParam);
    ::SetWindowLongPtrA(hwnd, DWLP_USER, lParam);
    dialog->m_hWnd = hwnd;
  } else {
    // Messages such as WM_SETFONT arrive before WM_INITDIALOG binds the object.
    dialog = reinterpret_cast<CDialog*>(::GetWindowLongPtrA(hwnd, DWLP_USER));
  }
  if (!dialog) return FALSE;
  // Nothing may unwind through the window system.
  try {
    if (message == WM_INITDIALOG) {
      RECT before = {0, 0, 0, 0}, after = {0, 0, 0, 0};
      ::GetWindowRect(hwnd, &before);
      const BOOL result = dialog->OnInitDialog();
      // A dialog that did not place itself opens in the middle of its owner (the
      // templates give no position of their own).
      ::GetWindowRect(hwnd, &after);
      if (::IsWindow(hwnd) && !::IsWindowVisible(hwnd) && before.left == after.left && before.top == after.top)
        dialog->CenterWindow();
      return result;
    }
    // While the program works with the wait cursor on, moving the mouse must not bring
    // the arrow back.
    if (message == WM_SETCURSOR && AfxGetApp() && AfxGetApp()->IsWaitCursorShown()) {
      ::SetCursor(::LoadCursorA(nullptr, IDC_WAIT));
      ::SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, TRUE);
      return TRUE;
    }
    LRESULT result = 0;
    if (!dialog->DispatchWindowMessage(message, wParam, lParam, &result)) return FALSE;
    if (ReturnsDirectly(message)) return INT_PTR(result);
    ::SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, result);
    return TRUE;
  } catch (...) {
    return FALSE;
  }
}

void DDX_Text(CDataExchange* pDX, int id, CString& value) {
  if (pDX->m_bSaveAndValidate) {
    pDX->m_pDlgWnd->GetDlgItemText(id, value);
  } else {
    pDX->m_pDlgWnd->SetDlgItemText(id, value);
  }
}

void DDX_Text(CDataExchange* pDX, int id, CStringW& value) {
  if (pDX->m_bSaveAndValidate) {
    pDX->m_pDlgWnd->GetDlgItemText(id, value);
  } else {
    pDX->m_pDlgWnd->SetDlgItemText(id, value);
  }
}
