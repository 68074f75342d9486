// Drawing contexts, fonts and the default printer for the Linux build. Nothing is drawn:
// text is measured with exact, chosen metrics, and what is printed is recorded per
// document for the tests (standin.h). Window contexts (GetDC) live here too, since they
// are the same objects as printer contexts.
//
// Misuse that Windows would refuse or leak on (text outside a page, a page outside a
// document, a context released twice, a font deleted while selected) is recorded as a
// problem rather than hidden, so a test sees it.
#include "platform/posix/standin.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <utility>

namespace {

struct Font {
  LOGFONTA lf;
  int selections = 0;  // contexts it is selected into
};

// The stock system font every context starts with, and the font of the dialogs'
// controls; neither is ever created or deleted.
Font g_systemFont = {};
Font g_dialogFont = {{-13, 0, 0, 0, 0, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "MS Sans Serif"}};

struct Dc {
  enum Kind { kWindow, kScreen, kPrinter } kind;
  HWND window = nullptr;
  COLORREF text = RGB(0, 0, 0);
  COLORREF background = RGB(255, 255, 255);
  int mapMode = MM_TEXT;
  UINT textAlign = 0;
  Font* font = &g_systemFont;
  standin::Printer printer = {};
  int job = -1;  // index into g_jobs while a document is open
  int page = 0;  // number of the open page, 0 between pages
};

std::set<Dc*> g_dcs;
std::set<Font*> g_fonts;
std::set<HGLOBAL> g_globals;
std::vector<standin::PrintJob> g_jobs;
std::vector<LOGFONTA> g_fontsCreated;
std::vector<std::string> g_problems;
std::optional<standin::Printer> g_printer;
DWORD g_commDlgError = 0;
int g_systemCharWidth = 7, g_systemHeight = 16;
int g_dialogCharWidth = 6, g_dialogHeight = 13;
std::map<int, COLORREF> g_sysColors;

const std::map<int, COLORREF> kDefaultColors = {
    {COLOR_WINDOW, RGB(255, 255, 255)}, {COLOR_WINDOWTEXT, RGB(0, 0, 0)}, {COLOR_3DFACE, RGB(192, 192, 192)}};
constexpr uintptr_t kBrushBase = 0x30000;

Dc* Get(HDC h) {
  auto* dc = reinterpret_cast<Dc*>(h);
  return g_dcs.count(dc) ? dc : nullptr;
}

HDC NewDc(Dc::Kind kind, HWND window) {
  auto* dc = new Dc{kind};
  dc->window = window;
  g_dcs.insert(dc);
  ++g_systemFont.selections;
  return reinterpret_cast<HDC>(dc);
}

void Problem(const std::string& what) { g_problems.push_back(what); }

void FreeDc(Dc* dc) {
  if (dc->job >= 0) Problem("context deleted with the document \"" + g_jobs[size_t(dc->job)].name + "\" open");
  --dc->font->selections;
  g_dcs.erase(dc);
  delete dc;
}

void Call(Dc* dc, const std::string& what) {
  if (dc->job >= 0) g_jobs[size_t(dc->job)].calls.push_back(what);
}

// The metrics of the selected font.
void CharMetrics(const Dc& dc, int* charWidth, int* height) {
  if (dc.font == &g_systemFont) {
    *charWidth = g_systemCharWidth;
    *height = g_systemHeight;
    return;
  }
  if (dc.font == &g_dialogFont) {
    *charWidth = g_dialogCharWidth;
    *height = g_dialogHeight;
    return;
  }
  const LONG h = std::labs(dc.font->lf.lfHeight);
  *height = int(h);
  *charWidth = std::max(1, int(h / 2));
}

}  // namespace

namespace standin {

void SetSystemFontMetrics(int charWidth, int height) {
  g_systemCharWidth = charWidth;
  g_systemHeight = height;
}

void SetDialogFontMetrics(int charWidth, int height) {
  g_dialogCharWidth = charWidth;
  g_dialogHeight = height;
}

HFONT DialogFont() { return reinterpret_cast<HFONT>(&g_dialogFont); }

void SetSysColor(int index, COLORREF color) { g_sysColors[index] = color; }

void SetDefaultPrinter(const Printer* printer) {
  if (printer) {
    g_printer = *printer;
  } else {
    g_printer.reset();
  }
}

const std::vector<PrintJob>& PrintJobs() { return g_jobs; }
const std::vector<LOGFONTA>& FontsCreated() { return g_fontsCreated; }
const std::vector<std::string>& GdiProblems() { return g_problems; }
int LiveGdiResources() { return int(g_dcs.size() + g_fonts.size() + g_globals.size()); }

void ResetGdiRecords() {
  g_jobs.clear();
  g_fontsCreated.clear();
  g_problems.clear();
  g_sysColors.clear();
  g_systemCharWidth = 7;
  g_systemHeight = 16;
  g_dialogCharWidth = 6;
  g_dialogHeight = 13;
}

}  // namespace standin

// ---- contexts ----

HDC GetDC(HWND window) {
  if (window && !IsWindow(window)) return nullptr;
  return NewDc(window ? Dc::kWindow : Dc::kScreen, window);
}

int ReleaseDC(HWND window, HDC h) {
  Dc* dc = Get(h);
  if (!dc || dc->kind == Dc::kPrinter || dc->window != window) {
    Problem("ReleaseDC of a context that GetDC did not give for that window");
    return 0;
  }
  FreeDc(dc);
  return 1;
}

BOOL DeleteDC(HDC h) {
  Dc* dc = Get(h);
  if (!dc) return FALSE;
  if (dc->kind != Dc::kPrinter) Problem("DeleteDC of a context from GetDC");
  FreeDc(dc);
  return TRUE;
}

int GetDeviceCaps(HDC h, int index) {
  Dc* dc = Get(h);
  if (!dc) return 0;
  const bool printer = dc->kind == Dc::kPrinter;
  switch (index) {
    case HORZRES: return printer ? dc->printer.horzRes : 1024;
    case VERTRES: return printer ? dc->printer.vertRes : 768;
    case LOGPIXELSX:
    case LOGPIXELSY: return printer ? dc->printer.logPixelsY : 96;
  }
  return 0;
}

int SetMapMode(HDC h, int mode) {
  Dc* dc = Get(h);
  return dc ? std::exchange(dc->mapMode, mode) : 0;
}

UINT SetTextAlign(HDC h, UINT align) {
  Dc* dc = Get(h);
  return dc ? std::exchange(dc->textAlign, align) : GDI_ERROR;
}

COLORREF SetTextColor(HDC h, COLORREF color) {
  Dc* dc = Get(h);
  return dc ? std::exchange(dc->text, color) : CLR_INVALID;
}

COLORREF SetBkColor(HDC h, COLORREF color) {
  Dc* dc = Get(h);
  return dc ? std::exchange(dc->background, color) : CLR_INVALID;
}

COLORREF GetTextColor(HDC h) {
  Dc* dc = Get(h);
  return dc ? dc->text : CLR_INVALID;
}

COLORREF GetBkColor(HDC h) {
  Dc* dc = Get(h);
  return dc ? dc->background : CLR_INVALID;
}

// ---- fonts ----

HFONT CreateFontIndirectA(const LOGFONTA* lf) {
  if (!lf) return nullptr;
  g_fontsCreated.push_back(*lf);
  auto* font = new Font{*lf};
  font->lf.lfFaceName[LF_FACESIZE - 1] = '\0';
  g_fonts.insert(font);
  return reinterpret_cast<HFONT>(font);
}

HGDIOBJ SelectObject(HDC h, HGDIOBJ object) {
  Dc* dc = Get(h);
  auto* font = static_cast<Font*>(object);
  if (!dc || (font != &g_systemFont && font != &g_dialogFont && !g_fonts.count(font))) return nullptr;
  Font* previous = std::exchange(dc->font, font);
  --previous->selections;
  ++font->selections;
  Call(dc, std::string("SelectObject ") + (font == &g_systemFont ? "System" : font->lf.lfFaceName));
  return previous;
}

BOOL DeleteObject(HGDIOBJ object) {
  auto* font = static_cast<Font*>(object);
  if (!g_fonts.count(font)) return FALSE;
  if (font->selections > 0) Problem(std::string("font ") + font->lf.lfFaceName + " deleted while selected");
  g_fonts.erase(font);
  delete font;
  return TRUE;
}

// ---- text ----

BOOL GetTextExtentPoint32A(HDC h, LPCSTR, int count, SIZE* size) {
  Dc* dc = Get(h);
  if (!dc || count < 0 || !size) return FALSE;
  int charWidth, height;
  CharMetrics(*dc, &charWidth, &height);
  size->cx = LONG(count) * charWidth;
  size->cy = height;
  return TRUE;
}

BOOL TextOutA(HDC h, int x, int y, LPCSTR text, int count) {
  Dc* dc = Get(h);
  if (!dc || count < 0) return FALSE;
  if (dc->kind != Dc::kPrinter) return TRUE;
  if (dc->page == 0) {
    Problem("TextOut outside a page");
    return FALSE;
  }
  standin::PrintJob& job = g_jobs[size_t(dc->job)];
  const bool system = dc->font == &g_systemFont;
  job.texts.push_back({dc->page, x, y, std::string(text, size_t(count)), system ? "System" : dc->font->lf.lfFaceName,
                       system ? 0 : dc->font->lf.lfHeight, dc->mapMode, dc->textAlign});
  Call(dc, "TextOut");
  return TRUE;
}

// ---- documents and pages ----

int StartDocA(HDC h, const DOCINFOA* doc) {
  Dc* dc = Get(h);
  if (!dc || dc->kind != Dc::kPrinter || !doc) return 0;
  if (dc->job >= 0) {
    Problem("StartDoc inside a document");
    return 0;
  }
  dc->job = int(g_jobs.size());
  g_jobs.emplace_back();
  g_jobs.back().name = doc->lpszDocName ? doc->lpszDocName : "";
  Call(dc, "StartDoc");
  return dc->job + 1;
}

int StartPage(HDC h) {
  Dc* dc = Get(h);
  if (!dc || dc->job < 0 || dc->page != 0) {
    Problem("StartPage outside a document or inside a page");
    return 0;
  }
  dc->page = g_jobs[size_t(dc->job)].pages + 1;
  Call(dc, "StartPage");
  return 1;
}

int EndPage(HDC h) {
  Dc* dc = Get(h);
  if (!dc || dc->page == 0) {
    Problem("EndPage outside a page");
    return 0;
  }
  g_jobs[size_t(dc->job)].pages = dc->page;
  dc->page = 0;
  Call(dc, "EndPage");
  return 1;
}

int EndDoc(HDC h) {
  Dc* dc = Get(h);
  if (!dc || dc->job < 0) {
    Problem("EndDoc outside a document");
    return 0;
  }
  if (dc->page != 0) Problem("EndDoc inside a page");
  Call(dc, "EndDoc");
  g_jobs[size_t(dc->job)].ended = true;
  dc->job = -1;
  dc->page = 0;
  return 1;
}

// ---- colours ----

DWORD GetSysColor(int index) {
  auto set = g_sysColors.find(index);
  if (set != g_sysColors.end()) return set->second;
  auto standard = kDefaultColors.find(index);
  return standard != kDefaultColors.end() ? standard->second : 0;
}

HBRUSH GetSysColorBrush(int index) { return reinterpret_cast<HBRUSH>(kBrushBase + uintptr_t(index)); }

// ---- the default printer ----

HGLOBAL GlobalFree(HGLOBAL memory) {
  if (!g_globals.erase(memory)) return memory;
  std::free(memory);
  return nullptr;
}

BOOL PrintDlgA(LPPRINTDLGA pd) {
  g_commDlgError = 0;
  // Without PD_RETURNDEFAULT the dialog would be shown: the program never asks for that.
  if (!pd || pd->lStructSize != sizeof(PRINTDLGA) || !(pd->Flags & PD_RETURNDEFAULT) || pd->hDevMode ||
      pd->hDevNames) {
    g_commDlgError = 0x0002;  // CDERR_INITIALIZATION
    return FALSE;
  }
  if (!g_printer) {
    g_commDlgError = PDERR_NODEFAULTPRN;
    return FALSE;
  }
  pd->hDevMode = std::calloc(1, 64);
  pd->hDevNames = std::calloc(1, 64);
  g_globals.insert(pd->hDevMode);
  g_globals.insert(pd->hDevNames);
  if (pd->Flags & PD_RETURNDC) {
    pd->hDC = NewDc(Dc::kPrinter, nullptr);
    Get(pd->hDC)->printer = *g_printer;
  }
  return TRUE;
}

DWORD CommDlgExtendedError() { return g_commDlgError; }
