// Test control of the shell stand-in: the desktop folder, whether the shell link object
// can be created, and the shortcuts it saved.
#pragma once

#include "platform/posix/shell_api.h"

#include <string>
#include <vector>

namespace standin {

// The desktop folder, in UTF-8: a user name outside the ANSI code page is one the
// program can reach only through the wide-character calls. Empty: the desktop folder
// cannot be determined.
void SetDesktopDirectory(const std::string& path);
// False: creating the shell link object, or asking it for IPersistFile, fails.
void SetShellLinkAvailable(bool shellLink, bool persistFile = true);

struct ShortcutSaved {
  std::string path;  // as passed to IPersistFile::Save, in UTF-8
  std::string target;       // UTF-8 too
  std::string description;  // UTF-8 too
  bool remember;
};
const std::vector<ShortcutSaved>& Shortcuts();
int ComInitialisations();
int LiveShellObjects();  // shell link objects not yet released
void ResetShell();

}  // namespace standin
