// Unpacking the pack file into the install directory through the archive reader.
#pragma once

#include "framework/afxstr.h"
#include "payload/install_progress.h"

#include <vector>

// Unpacks every entry of `packFile` into `directory`, each file directly under its base
// name as the entry's name reads (name_encoding.h), reporting each failure in a message
// box as it happens and going on with the next entry; a central directory that ends
// short of its count is reported once, for its first missing entry, and ends the
// unpacking there. Appends "<directory>\<base name>" for every entry written. Paths are
// wide text and go to the wide calls.
// 0: every entry was unpacked (also when there are none); 1: the pack file is missing or
// is no archive; 2 or 3: the last failure came from reading an entry's record (2) or
// from extracting it (3).
// `progress`, when given, hears of every piece of data written, against the total of the
// entries' sizes.
int UnpackArchive(const CStringW& packFile, const CStringW& directory, std::vector<CStringW>& unpackedFiles,
                  CInstallProgress* progress = nullptr);

// The part of a stored entry name behind its folders: what follows the last forward
// slash if there is one, else what follows the last backslash, else the whole name.
CStringW BaseNameOf(const CStringW& name);
