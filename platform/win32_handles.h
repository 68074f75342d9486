// Owners of Win32 handles, for the code that calls Win32 itself (the Windows builds only).
#pragma once

#include "platform/handles.h"
#include "platform/win32_api.h"

struct KernelHandleTraits {
  using Handle = HANDLE;
  static Handle Invalid() { return INVALID_HANDLE_VALUE; }
  // Some calls give null for failure (processes, threads), the file calls the invalid value.
  static bool IsValid(Handle h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static bool Close(Handle h) { return ::CloseHandle(h) != FALSE; }
};

struct FindHandleTraits {
  using Handle = HANDLE;
  static Handle Invalid() { return INVALID_HANDLE_VALUE; }
  static bool IsValid(Handle h) { return h != INVALID_HANDLE_VALUE; }
  static bool Close(Handle h) { return ::FindClose(h) != FALSE; }
};

// A handle CloseHandle closes: a file from CreateFileW, a process, a thread.
using CHandle = COwnedHandle<KernelHandleTraits>;
// A search from FindFirstFileW, ended by FindClose.
using CFindHandle = COwnedHandle<FindHandleTraits>;
