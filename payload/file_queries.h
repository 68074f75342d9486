// Small file-system queries on paths given as the user or the program typed them. Paths
// are wide text, for the wide calls: a folder typed in a script the ANSI code page lacks
// is the folder typed.
#pragma once

#include "framework/afxstr.h"

// 1 when the path names an existing file or directory. A name is looked up as given,
// never matched as a pattern: a path holding '?' or '*' names nothing, as no file can
// be named so; nor does one that ends in a separator.
int FileExists(const CStringW& path);
// 1 when the path names an existing directory, by the same lookup.
int DirectoryExists(const CStringW& path);
// Deletes the file if it exists; silently.
void DeleteIfExists(const CStringW& path);
// The path made absolute against the current directory, as the platform does it; the
// path as given when that fails (an empty one, say).
CStringW FullPathOf(const CStringW& path);
