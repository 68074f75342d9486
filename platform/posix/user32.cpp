// The window system for the Linux build: modal dialogs run by DialogBoxParamA, their
// controls, message boxes, painting and cursors. No window is ever drawn; a test plays
// the user through standin::User and reads back what was shown (standin.h).
//
// Controls come into being when first addressed by id: the stand-in knows no dialog
// templates. The templates themselves are checked on Windows, under Wine.
#include "platform/posix/path.h"
#include "platform/posix/standin.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <utility>

namespace {

struct Window {
  Window* parent = nullptr;
  bool isDialog = false;
  int id = 0;  // control id; for a dialog, its template id
  std::wstring text;  // as Windows keeps it; the ANSI calls convert in the code page
  DLGPROC proc = nullptr;
  LONG_PTR longs[3] = {};  // DWLP_MSGRESULT, DWLP_DLGPROC, DWLP_USER
  std::map<int, std::unique_ptr<Window>> controls;
  bool ended = false;
  INT_PTR result = 0;
  bool iconic = false;
  RECT client = {0, 0, 480, 123};
  POINT position = {0, 0};
  HICON icons[2] = {};
  size_t run = 0;  // index into g_dialogs
  bool modeless = false;
  bool disabled = false;
  int rangeLow = 0, rangeHigh = 100, barPosition = 0;  // a progress bar's
};

struct PaintDc {
  Window* window;
};

std::set<Window*> g_live;
standin::User* g_user = nullptr;
std::vector<standin::DialogRun> g_dialogs;
std::vector<standin::MessageBoxShown> g_boxes;
std::vector<std::string> g_drawing;
HCURSOR g_cursor = nullptr;
unsigned long g_peeks = 0;
std::map<std::pair<int, int>, RECT> g_controlClients;  // (template, control) -> client

constexpr uintptr_t kIconBase = 0x10000;
constexpr uintptr_t kCursorBase = 0x20000;

Window* Get(HWND h) {
  auto* w = reinterpret_cast<Window*>(h);
  return g_live.count(w) ? w : nullptr;
}
HWND Handle(Window* w) { return reinterpret_cast<HWND>(w); }

bool ReturnsDirectly(UINT message) {
  return message == WM_INITDIALOG || message == WM_QUERYDRAGICON ||
         (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC);
}

LRESULT TextMessage(Window* w, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SETTEXT:
      w->text = posixpath::WideOfAnsi(reinterpret_cast<const char*>(lParam));
      return TRUE;
    case WM_GETTEXT: {
      if (wParam == 0) return 0;
      const std::string text = posixpath::AnsiOfWide(w->text.c_str());
      const size_t n = std::min<size_t>(text.size(), wParam - 1);
      std::memcpy(reinterpret_cast<char*>(lParam), text.data(), n);
      reinterpret_cast<char*>(lParam)[n] = '\0';
      return LRESULT(n);
    }
    case WM_GETTEXTLENGTH:
      return LRESULT(posixpath::AnsiOfWide(w->text.c_str()).size());
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(standin::DialogFont());
    case EM_GETMARGINS:
      return MAKELONG(standin::kEditLeftMargin, standin::kEditRightMargin);
    case PBM_SETRANGE32:
      w->rangeLow = int(wParam);
      w->rangeHigh = int(lParam);
      return 0;
    case PBM_SETPOS: {
      const int previous = w->barPosition;
      w->barPosition = std::min(std::max(int(wParam), w->rangeLow), w->rangeHigh);
      return previous;
    }
    case PBM_GETPOS:
      return w->barPosition;
  }
  return 0;
}

// What DefDlgProc does for the messages the program relies on.
LRESULT DefaultDialogMessage(Window* w, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SETTEXT:
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH:
      return TextMessage(w, message, wParam, lParam);
    case WM_SETICON: {
      HICON& slot = w->icons[wParam == ICON_BIG ? 1 : 0];
      HICON previous = slot;
      slot = reinterpret_cast<HICON>(lParam);
      return reinterpret_cast<LRESULT>(previous);
    }
    case WM_ICONERASEBKGND:
      g_drawing.push_back("IconEraseBackground");
      return TRUE;
    case WM_CLOSE:
      return SendMessageA(Handle(w), WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  }
  if (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC)
    return DefWindowProcA(Handle(w), message, wParam, lParam);
  return 0;
}

}  // namespace

INT_PTR DialogBoxParamA(HINSTANCE, LPCSTR templateName, HWND parent, DLGPROC proc, LPARAM param) {
  auto* w = new Window;
  w->isDialog = true;
  w->id = int(reinterpret_cast<uintptr_t>(templateName));
  w->parent = Get(parent);
  w->proc = proc;
  w->run = g_dialogs.size();
  g_dialogs.push_back({w->id, false, false, 0, ""});
  g_live.insert(w);
  const HWND h = Handle(w);

  const bool focus = proc(h, WM_INITDIALOG, 0, param) != 0;
  g_dialogs[w->run].defaultFocus = focus;
  if (!w->ended) {
    g_dialogs[w->run].shown = true;
    while (!w->ended) {
      if (!g_user || !g_user->Act(h, w->id)) {
        w->ended = true;
        w->result = -1;
      }
    }
  }
  proc(h, WM_DESTROY, 0, 0);
  g_dialogs[w->run].result = w->result;
  g_dialogs[w->run].caption = posixpath::AnsiOfWide(w->text.c_str());
  const INT_PTR result = w->result;
  for (auto& c : w->controls) g_live.erase(c.second.get());
  g_live.erase(w);
  delete w;
  return result;
}

HWND CreateDialogParamA(HINSTANCE, LPCSTR templateName, HWND parent, DLGPROC proc, LPARAM param) {
  auto* w = new Window;
  w->isDialog = true;
  w->modeless = true;
  w->id = int(reinterpret_cast<uintptr_t>(templateName));
  w->parent = Get(parent);
  w->proc = proc;
  w->run = g_dialogs.size();
  g_dialogs.push_back({w->id, true, false, 0, ""});
  g_live.insert(w);
  const HWND h = Handle(w);
  g_dialogs[w->run].defaultFocus = proc(h, WM_INITDIALOG, 0, param) != 0;
  return Get(h) ? h : nullptr;
}

BOOL DestroyWindow(HWND window) {
  Window* w = Get(window);
  if (!w || !w->isDialog || !w->modeless) return FALSE;
  w->proc(window, WM_DESTROY, 0, 0);
  g_dialogs[w->run].caption = posixpath::AnsiOfWide(w->text.c_str());
  for (auto& c : w->controls) g_live.erase(c.second.get());
  g_live.erase(w);
  delete w;
  return TRUE;
}

BOOL EnableWindow(HWND window, BOOL enable) {
  Window* w = Get(window);
  if (!w) return FALSE;
  return std::exchange(w->disabled, !enable) ? TRUE : FALSE;
}

BOOL IsWindowEnabled(HWND window) {
  Window* w = Get(window);
  return w && !w->disabled;
}

BOOL ShowWindow(HWND window, int) { return Get(window) != nullptr; }
BOOL UpdateWindow(HWND window) { return Get(window) != nullptr; }

LRESULT SendDlgItemMessageA(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam) {
  HWND control = GetDlgItem(dialog, id);
  return control ? SendMessageA(control, message, wParam, lParam) : 0;
}

BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* controls) {
  return controls && controls->dwSize == sizeof *controls;
}

BOOL PeekMessageA(MSG*, HWND, UINT, UINT, UINT) {
  ++g_peeks;
  return FALSE;
}
BOOL TranslateMessage(const MSG*) { return FALSE; }
LRESULT DispatchMessageA(const MSG*) { return 0; }
BOOL IsDialogMessageA(HWND, MSG*) { return FALSE; }
void PostQuitMessage(int) {}

BOOL EndDialog(HWND dialog, INT_PTR result) {
  Window* w = Get(dialog);
  if (!w || !w->isDialog) return FALSE;
  w->ended = true;
  w->result = result;
  return TRUE;
}

HWND GetDlgItem(HWND dialog, int id) {
  Window* w = Get(dialog);
  if (!w || !w->isDialog) return nullptr;
  auto& slot = w->controls[id];
  if (!slot) {
    slot = std::make_unique<Window>();
    slot->parent = w;
    slot->id = id;
    auto size = g_controlClients.find({w->id, id});
    if (size != g_controlClients.end()) slot->client = size->second;
    g_live.insert(slot.get());
  }
  return Handle(slot.get());
}

int GetDlgCtrlID(HWND control) {
  Window* w = Get(control);
  return w && !w->isDialog ? w->id : 0;
}

BOOL SetDlgItemTextA(HWND dialog, int id, LPCSTR text) {
  HWND c = GetDlgItem(dialog, id);
  return c ? BOOL(SendMessageA(c, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text))) : FALSE;
}

// Controls have no procedure here: their wide text is theirs to give.
BOOL SetDlgItemTextW(HWND dialog, int id, LPCWSTR text) {
  Window* c = Get(GetDlgItem(dialog, id));
  if (!c) return FALSE;
  c->text = text ? text : L"";
  return TRUE;
}

UINT GetDlgItemTextW(HWND dialog, int id, LPWSTR buffer, int size) {
  Window* c = Get(GetDlgItem(dialog, id));
  if (size <= 0) return 0;
  const std::wstring text = c ? c->text : L"";
  const size_t n = std::min<size_t>(text.size(), size_t(size) - 1);
  std::memcpy(buffer, text.data(), n * sizeof(WCHAR));
  buffer[n] = L'\0';
  return UINT(n);
}

int GetWindowTextLengthW(HWND window) {
  Window* w = Get(window);
  return w ? int(w->text.size()) : 0;
}

UINT GetDlgItemTextA(HWND dialog, int id, LPSTR buffer, int size) {
  HWND c = GetDlgItem(dialog, id);
  if (!c) {
    if (size > 0) buffer[0] = '\0';
    return 0;
  }
  return UINT(SendMessageA(c, WM_GETTEXT, WPARAM(size), reinterpret_cast<LPARAM>(buffer)));
}

BOOL SetWindowTextA(HWND window, LPCSTR text) {
  return Get(window) ? BOOL(SendMessageA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text))) : FALSE;
}

int GetWindowTextA(HWND window, LPSTR buffer, int size) {
  return Get(window) ? int(SendMessageA(window, WM_GETTEXT, WPARAM(size), reinterpret_cast<LPARAM>(buffer))) : 0;
}

int GetWindowTextLengthA(HWND window) {
  return Get(window) ? int(SendMessageA(window, WM_GETTEXTLENGTH, 0, 0)) : 0;
}

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Window* w = Get(window);
  if (!w) return 0;
  if (!w->isDialog) {
    if (message == BM_CLICK)
      return SendMessageA(Handle(w->parent), WM_COMMAND, MAKEWPARAM(w->id, BN_CLICKED), LPARAM(window));
    return TextMessage(w, message, wParam, lParam);
  }
  const INT_PTR handled = w->proc(window, message, wParam, lParam);
  if (!Get(window)) return 0;
  if (!handled) return DefaultDialogMessage(w, message, wParam, lParam);
  return ReturnsDirectly(message) ? LRESULT(handled) : w->longs[DWLP_MSGRESULT / 8];
}

LONG_PTR GetWindowLongPtrA(HWND window, int index) {
  Window* w = Get(window);
  return w && index >= 0 && index <= DWLP_USER && index % 8 == 0 ? w->longs[index / 8] : 0;
}

LONG_PTR SetWindowLongPtrA(HWND window, int index, LONG_PTR value) {
  Window* w = Get(window);
  if (!w || index < 0 || index > DWLP_USER || index % 8 != 0) return 0;
  return std::exchange(w->longs[index / 8], value);
}

BOOL IsWindow(HWND window) { return Get(window) != nullptr; }
BOOL IsIconic(HWND window) { Window* w = Get(window); return w && w->iconic; }

BOOL GetClientRect(HWND window, LPRECT rect) {
  Window* w = Get(window);
  if (!w) return FALSE;
  *rect = w->client;
  return TRUE;
}

BOOL InvalidateRect(HWND window, const RECT*, BOOL) { return Get(window) != nullptr; }

BOOL GetWindowRect(HWND window, LPRECT rect) {
  Window* w = Get(window);
  if (!w) return FALSE;
  *rect = RECT{w->position.x, w->position.y, w->position.x + w->client.right, w->position.y + w->client.bottom};
  return TRUE;
}

BOOL SetWindowPos(HWND window, HWND, int x, int y, int cx, int cy, UINT flags) {
  Window* w = Get(window);
  if (!w) return FALSE;
  w->position = POINT{x, y};
  if (!(flags & SWP_NOSIZE)) w->client = RECT{0, 0, cx, cy};
  return TRUE;
}

// A dialog is owned by the dialog it was opened from; it is visible once initialised.
HWND GetWindow(HWND window, UINT command) {
  Window* w = Get(window);
  return w && w->isDialog && command == GW_OWNER ? Handle(w->parent) : nullptr;
}

BOOL IsWindowVisible(HWND window) {
  Window* w = Get(window);
  if (!w) return FALSE;
  return w->isDialog ? g_dialogs[w->run].shown : IsWindowVisible(Handle(w->parent));
}

BOOL SystemParametersInfoA(UINT action, UINT, LPVOID value, UINT) {
  if (action != SPI_GETWORKAREA || !value) return FALSE;
  *static_cast<RECT*>(value) = RECT{0, 0, 1024, 740};
  return TRUE;
}

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  g_boxes.push_back({owner, caption ? caption : "Error", text ? text : "", type, posixpath::WideOfAnsi(text)});
  if (g_user) return g_user->Answer(g_boxes.back());
  return (type & MB_TYPEMASK) == MB_YESNO ? IDNO : IDOK;
}

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
  const std::wstring wide = text ? text : L"";
  g_boxes.push_back(
      {owner, caption ? posixpath::AnsiOfWide(caption) : "Error", posixpath::AnsiOfWide(wide.c_str()), type, wide});
  if (g_user) return g_user->Answer(g_boxes.back());
  return (type & MB_TYPEMASK) == MB_YESNO ? IDNO : IDOK;
}

int GetSystemMetrics(int index) { return index == SM_CXICON || index == SM_CYICON ? 32 : 0; }

HDC BeginPaint(HWND window, PAINTSTRUCT* paint) {
  Window* w = Get(window);
  if (!w) return nullptr;
  std::memset(paint, 0, sizeof *paint);
  paint->hdc = reinterpret_cast<HDC>(new PaintDc{w});
  paint->rcPaint = w->client;
  return paint->hdc;
}

BOOL EndPaint(HWND, const PAINTSTRUCT* paint) {
  delete reinterpret_cast<PaintDc*>(paint->hdc);
  return TRUE;
}

BOOL DrawIcon(HDC dc, int x, int y, HICON icon) {
  if (!dc) return FALSE;
  g_drawing.push_back("DrawIcon " + std::to_string(x) + "," + std::to_string(y) + " icon" +
                      std::to_string(standin::IconResourceOf(icon)));
  return TRUE;
}

HICON LoadIconA(HINSTANCE, LPCSTR name) {
  return IS_INTRESOURCE(name) ? reinterpret_cast<HICON>(kIconBase + reinterpret_cast<uintptr_t>(name)) : nullptr;
}

HCURSOR LoadCursorA(HINSTANCE, LPCSTR name) {
  return IS_INTRESOURCE(name) ? reinterpret_cast<HCURSOR>(kCursorBase + reinterpret_cast<uintptr_t>(name)) : nullptr;
}

HCURSOR SetCursor(HCURSOR cursor) { return std::exchange(g_cursor, cursor); }

// The colours the window system gives a control that its dialog leaves alone: an edit
// or list box is drawn in the window colours, everything else on the face colour.
LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM) {
  if (!Get(window) || message < WM_CTLCOLORMSGBOX || message > WM_CTLCOLORSTATIC) return 0;
  HDC dc = reinterpret_cast<HDC>(wParam);
  const bool windowColours = message == WM_CTLCOLOREDIT || message == WM_CTLCOLORLISTBOX;
  SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
  SetBkColor(dc, GetSysColor(windowColours ? COLOR_WINDOW : COLOR_3DFACE));
  return reinterpret_cast<LRESULT>(GetSysColorBrush(windowColours ? COLOR_WINDOW : COLOR_3DFACE));
}

namespace standin {

void SetUser(User* user) { g_user = user; }

void Type(HWND dialog, int controlId, const std::string& text) {
  SetDlgItemTextA(dialog, controlId, text.c_str());
}

void Press(HWND dialog, int controlId) { SendMessageA(GetDlgItem(dialog, controlId), BM_CLICK, 0, 0); }

const std::vector<DialogRun>& Dialogs() { return g_dialogs; }
const std::vector<MessageBoxShown>& MessageBoxes() { return g_boxes; }
const std::vector<std::string>& Drawing() { return g_drawing; }

void ResetRecords() {
  g_dialogs.clear();
  g_boxes.clear();
  g_drawing.clear();
  g_cursor = nullptr;
  g_peeks = 0;
  g_controlClients.clear();
  ResetGdiRecords();
}

std::string WindowText(HWND window) {
  Window* w = Get(window);
  return w ? posixpath::AnsiOfWide(w->text.c_str()) : "";
}

std::wstring WindowTextWide(HWND window) { Window* w = Get(window); return w ? w->text : L""; }

void TypeWide(HWND dialog, int controlId, const std::wstring& text) {
  SetDlgItemTextW(dialog, controlId, text.c_str());
}

std::string ControlText(HWND dialog, int controlId) { return WindowText(GetDlgItem(dialog, controlId)); }

HICON Icon(HWND window, int which) { Window* w = Get(window); return w ? w->icons[which == ICON_BIG] : nullptr; }

int IconResourceOf(HICON icon) {
  const auto v = reinterpret_cast<uintptr_t>(icon);
  return v > kIconBase && v < kIconBase + 0x10000 ? int(v - kIconBase) : 0;
}

void SetIconic(HWND window, bool iconic) { if (Window* w = Get(window)) w->iconic = iconic; }

void SetClientSize(HWND window, int width, int height) {
  if (Window* w = Get(window)) w->client = RECT{0, 0, width, height};
}

RECT WindowRect(HWND window) {
  RECT rect = {0, 0, 0, 0};
  GetWindowRect(window, &rect);
  return rect;
}

void Paint(HWND window) { SendMessageA(window, WM_PAINT, 0, 0); }

bool WaitCursorShown() { return g_cursor == LoadCursorA(nullptr, IDC_WAIT); }

bool IsEnabled(HWND window) { return IsWindowEnabled(window) != FALSE; }

HWND OpenDialog(int templateId) {
  HWND found = nullptr;
  for (Window* w : g_live)
    if (w->isDialog && w->id == templateId) found = Handle(w);
  return found;
}

ProgressBar ProgressOf(HWND dialog, int controlId) {
  Window* w = Get(GetDlgItem(dialog, controlId));
  return w ? ProgressBar{w->rangeLow, w->rangeHigh, w->barPosition} : ProgressBar{0, 0, 0};
}

unsigned long MessageQueuePeeks() { return g_peeks; }

void SetControlClientSize(int templateId, int controlId, int width, int height) {
  g_controlClients[{templateId, controlId}] = RECT{0, 0, width, height};
}

}  // namespace standin
