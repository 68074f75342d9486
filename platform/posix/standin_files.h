// Test control of the file stand-in.
#pragma once

#include <string>

namespace standin {

// The file is held open by another program: deleting or rewriting it fails, as on
// Windows for a file in use.
void MarkInUse(const std::string& windowsPath);
void ClearInUse();

}  // namespace standin
