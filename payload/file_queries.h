// Small file-system queries on paths given as the user or the program typed them.
#pragma once

#include "framework/afxstr.h"
#include "platform/win32_api.h"

// The file's size, or -1 after a message when it cannot be looked up, or when it is
// 2 GB or more: such a size does not fit the signed 32-bit count the setup file is
// read with, and must not be taken for a smaller one.
int FileSizeOf(const CString& path);
// The file opened for reading, shared with other readers; INVALID_HANDLE_VALUE on failure.
HANDLE OpenForReading(const CString& path);
// Reads up to `count` bytes at `offset` from the start; the number read, 0 on failure.
int ReadAt(HANDLE file, LONG offset, void* buffer, DWORD count);
// 1 when the path names an existing file or directory.
int FileExists(const CString& path);
// 1 when the path names an existing directory.
int DirectoryExists(const CString& path);
// Deletes the file if it exists; silently.
void DeleteIfExists(const CString& path);
// The path made absolute against the current directory, as the platform does it; the
// path as given when that fails (an empty one, say).
CString FullPathOf(const CString& path);
