// The shell link object and the COM calls around it, for the Linux build. The interfaces
// hold just the methods the program calls.
#pragma once

#include "platform/posix/win32_api.h"

typedef uint32_t ULONG;

struct GUID {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
};
typedef GUID IID;
typedef GUID CLSID;
typedef const IID& REFIID;
typedef const CLSID& REFCLSID;
inline bool operator==(const GUID& a, const GUID& b) {
  return a.Data1 == b.Data1 && a.Data2 == b.Data2 && a.Data3 == b.Data3 &&
         __builtin_memcmp(a.Data4, b.Data4, 8) == 0;
}

#define S_OK ((HRESULT)0)
#define S_FALSE ((HRESULT)1)
#define E_NOINTERFACE ((HRESULT)0x80004002L)
#define E_FAIL ((HRESULT)0x80004005L)
#define REGDB_E_CLASSNOTREG ((HRESULT)0x80040154L)
#define SUCCEEDED(hr) (((HRESULT)(hr)) >= 0)
#define FAILED(hr) (((HRESULT)(hr)) < 0)
#define HRESULT_FROM_WIN32(x) ((HRESULT)(x) <= 0 ? ((HRESULT)(x)) : ((HRESULT)(((x) & 0x0000FFFF) | 0x80070000)))

#define CLSCTX_INPROC_SERVER 0x1
#define CSIDL_DESKTOPDIRECTORY 0x0010

struct IUnknown {
  virtual HRESULT QueryInterface(REFIID iid, void** object) = 0;
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;
 protected:
  ~IUnknown() = default;
};

struct IShellLinkW : IUnknown {
  virtual HRESULT SetPath(LPCWSTR file) = 0;
  virtual HRESULT SetDescription(LPCWSTR name) = 0;
 protected:
  ~IShellLinkW() = default;
};

struct IPersistFile : IUnknown {
  virtual HRESULT Save(LPCWSTR fileName, BOOL remember) = 0;
 protected:
  ~IPersistFile() = default;
};

extern const CLSID CLSID_ShellLink;
extern const IID IID_IShellLinkW;
extern const IID IID_IPersistFile;

HRESULT CoInitialize(LPVOID reserved);
HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid, LPVOID* object);
BOOL SHGetSpecialFolderPathW(HWND owner, LPWSTR path, int folder, BOOL create);
