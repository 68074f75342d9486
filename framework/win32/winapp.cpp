#include "framework/win32/afxwin.h"
#include "platform/env.h"

namespace {
CWinApp* g_app = nullptr;

// What the program tells and asks through its environment goes to the framework's
// message boxes: owned by the dialog in front, captioned with the application title.
class CFrameworkEnv : public CEnvWrapper {
 public:
  CFrameworkEnv() : CEnvWrapper(CEnv::Default()) {}
  void Tell(const std::wstring& text) override { AfxMessageBox(CStringW(text), MB_OK); }
  bool Ask(const std::wstring& text) override { return AfxMessageBox(CStringW(text), MB_YESNO) == IDYES; }
};
}  // namespace

HWND AfxActiveModalWindow();

BEGIN_MESSAGE_MAP(CWinApp, CCmdTarget)
END_MESSAGE_MAP()

CWinApp::CWinApp(LPCTSTR appName) {
  if (appName) {
    m_appName = appName;
    m_pszAppName = m_appName;
  }
  g_app = this;
}

CWinApp::~CWinApp() {
  if (g_app == this) g_app = nullptr;
}

void CWinApp::SetCurrentHandles(HINSTANCE instance) {
  m_hInstance = instance;
  if (m_pszAppName) {
    m_appNameW = CStringW(CString(m_pszAppName));
    return;
  }
  // From the wide module name: the ANSI one may hold '?' where the code page lacks a
  // character; the ANSI title is that wide one as the code page shows it.
  WCHAR path[MAX_PATH + 1] = L"";
  ::GetModuleFileNameW(instance, path, MAX_PATH + 1);
  std::wstring title(path);
  title = title.substr(title.find_last_of(L"\\/") == std::wstring::npos ? 0 : title.find_last_of(L"\\/") + 1);
  const size_t dot = title.rfind(L'.');
  if (dot != std::wstring::npos) title.resize(dot);
  m_appNameW = CStringW(title);
  m_appName = m_appNameW.ToAnsi();
  m_pszAppName = m_appName;
}

int CWinApp::DoMessageBox(LPCTSTR prompt, UINT type, UINT /*helpId*/) {
  if ((type & MB_ICONMASK) == 0) type |= MB_ICONEXCLAMATION;
  HWND owner = AfxActiveModalWindow();
  if (!owner) type |= MB_TASKMODAL;
  return ::MessageBoxA(owner, prompt, m_pszAppName, type);
}

int CWinApp::DoMessageBox(const CStringW& prompt, UINT type, UINT /*helpId*/) {
  if ((type & MB_ICONMASK) == 0) type |= MB_ICONEXCLAMATION;
  HWND owner = AfxActiveModalWindow();
  if (!owner) type |= MB_TASKMODAL;
  return ::MessageBoxW(owner, prompt, m_appNameW, type);
}

void CWinApp::DoWaitCursor(int code) {
  const HCURSOR wait = ::LoadCursorA(nullptr, IDC_WAIT);
  m_nWaitCursorCount += code;
  if (m_nWaitCursorCount > 0) {
    HCURSOR previous = ::SetCursor(wait);
    if (code > 0 && m_nWaitCursorCount == 1) m_hcurWaitCursorRestore = previous;
  } else {
    m_nWaitCursorCount = 0;
    ::SetCursor(m_hcurWaitCursorRestore ? m_hcurWaitCursorRestore : ::LoadCursorA(nullptr, IDC_ARROW));
  }
}

CWinApp* AfxGetApp() { return g_app; }
CWnd* AfxGetMainWnd() { return g_app ? g_app->m_pMainWnd : nullptr; }
HINSTANCE AfxGetInstanceHandle() { return g_app ? g_app->m_hInstance : nullptr; }

int AfxMessageBox(LPCTSTR text, UINT type, UINT helpId) {
  if (g_app) return g_app->DoMessageBox(text, type, helpId);
  return ::MessageBoxA(AfxActiveModalWindow(), text, nullptr, type | MB_ICONEXCLAMATION | MB_TASKMODAL);
}

int AfxMessageBox(const CStringW& text, UINT type, UINT helpId) {
  if (g_app) return g_app->DoMessageBox(text, type, helpId);
  return ::MessageBoxW(AfxActiveModalWindow(), text, nullptr, type | MB_ICONEXCLAMATION | MB_TASKMODAL);
}

int AfxWinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*commandLine*/, int /*show*/) {
  CWinApp* app = AfxGetApp();
  if (!app) return -1;
  CFrameworkEnv env;
  const CScopedEnv framed(&env);
  app->SetCurrentHandles(instance);
  if (!app->InitApplication() || !app->InitInstance()) {
    app->m_pMainWnd = nullptr;
    return app->ExitInstance();
  }
  return app->Run();
}
