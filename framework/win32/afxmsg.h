// Message maps: each class lists the window messages and commands it handles; a window's
// messages are routed through its class's map, then its base classes' maps.
#pragma once

#include "platform/win32_api.h"

class CCmdTarget;
class CDC;
class CWnd;

// The control-colour messages share one map entry; the handler learns which kind of
// control asks from its nCtlColor argument (CTLCOLOR_EDIT, ... CTLCOLOR_STATIC).
#ifndef WM_CTLCOLOR
#define WM_CTLCOLOR 0x0019
#endif

typedef void (CCmdTarget::*AFX_PMSG)();

// How a handler is called. Each entry stores its handler cast to AFX_PMSG; the signature
// tells the dispatcher which type to cast it back to.
enum AfxSig : UINT {
  AfxSig_end = 0,
  AfxSig_cmd,        // void (CCmdTarget::*)()           a command
  AfxSig_vv,         // void (CWnd::*)()                 WM_PAINT
  AfxSig_hv,         // HCURSOR (CWnd::*)()              WM_QUERYDRAGICON
  AfxSig_hDWw,       // HBRUSH (CWnd::*)(CDC*, CWnd*, UINT)  WM_CTLCOLOR*
};

struct AFX_MSGMAP_ENTRY {
  UINT nMessage;
  UINT nCode;    // notification code of a WM_COMMAND
  UINT nID;      // first and last control id of a WM_COMMAND
  UINT nLastID;
  UINT nSig;
  AFX_PMSG pfn;
};

struct AFX_MSGMAP {
  const AFX_MSGMAP* (*pfnGetBaseMap)();
  const AFX_MSGMAP_ENTRY* lpEntries;
};

#define afx_msg

// Converts between handler types. The dispatcher converts back to the exact type the
// entry was made from, which the language defines; the warning is for other uses.
template <class To, class From>
To AfxHandlerCast(From handler) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wcast-function-type"
  return reinterpret_cast<To>(handler);
#pragma GCC diagnostic pop
}

#define DECLARE_MESSAGE_MAP()                  \
 protected:                                    \
  static const AFX_MSGMAP* GetThisMessageMap(); \
  const AFX_MSGMAP* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                          \
  const AFX_MSGMAP* theClass::GetMessageMap() const { return GetThisMessageMap(); }     \
  const AFX_MSGMAP* theClass::GetThisMessageMap() {                                     \
    using ThisClass [[maybe_unused]] = theClass;                                        \
    using TheBaseClass = baseClass;                                                     \
    static const AFX_MSGMAP_ENTRY entries[] = {

#define END_MESSAGE_MAP()                                                   \
      {0, 0, 0, 0, AfxSig_end, nullptr}};                                   \
    static const AFX_MSGMAP map = {&TheBaseClass::GetThisMessageMap, entries}; \
    return &map;                                                            \
  }

#define ON_COMMAND(id, memberFxn)                                  \
  {WM_COMMAND, BN_CLICKED, UINT(id), UINT(id), AfxSig_cmd,         \
   static_cast<AFX_PMSG>(static_cast<void (CCmdTarget::*)()>(memberFxn))},
#define ON_BN_CLICKED(id, memberFxn) ON_COMMAND(id, memberFxn)

#define ON_WM_PAINT()                  \
  {WM_PAINT, 0, 0, 0, AfxSig_vv,       \
   static_cast<AFX_PMSG>(static_cast<void (CWnd::*)()>(&ThisClass::OnPaint))},

#define ON_WM_QUERYDRAGICON()          \
  {WM_QUERYDRAGICON, 0, 0, 0, AfxSig_hv, \
   AfxHandlerCast<AFX_PMSG>(static_cast<HCURSOR (CWnd::*)()>(&ThisClass::OnQueryDragIcon))},

#define ON_WM_CTLCOLOR()                 \
  {WM_CTLCOLOR, 0, 0, 0, AfxSig_hDWw,    \
   AfxHandlerCast<AFX_PMSG>(static_cast<HBRUSH (CWnd::*)(CDC*, CWnd*, UINT)>(&ThisClass::OnCtlColor))},
