// Test control of the file stand-in.
#pragma once

#include <string>

namespace standin {

// The file is held open by another program that shares reading only: deleting, rewriting,
// renaming or replacing it fails, as on Windows for a file in use.
void MarkInUse(const std::string& windowsPath);
// Another program holds the file open without sharing for the next `opens` attempts to
// open it with CreateFileA (-1: for ever): they fail with ERROR_SHARING_VIOLATION. Until
// then it can be neither deleted, renamed nor replaced either.
void HoldWithoutSharing(const std::string& windowsPath, int opens);
// Opens of held files refused so far.
int SharingViolations();
void ClearInUse();  // and the held files

// Sleep does not sleep here: it adds to this count of milliseconds, which ClearInUse resets.
unsigned long MillisecondsSlept();

}  // namespace standin
