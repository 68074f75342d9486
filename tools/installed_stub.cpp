#include "tools/installed_stub.h"

#include "tools/host.h"
#include "tools/pe_version.h"

#include <cstdio>
#include <vector>

namespace mksetup {

std::string InstalledStubPath() {
  const std::string self = host::OwnExecutable();
  if (self.empty()) return std::string();
  // MKSETUP_STUB_FROM_BIN: the installed layout, from the folder of the program to the
  // stub; the build derives it from the install directories, so that a moved
  // installation still finds its own stub.
  return host::FullPath(host::JoinPath(host::FolderOf(self), MKSETUP_STUB_FROM_BIN));
}

int PrintVersion() {
  std::printf("mksetup %s\n", MKSETUP_VERSION);
  const std::string stub = InstalledStubPath();
  std::vector<uint8_t> bytes;
  std::string error;
  uint16_t v[4];
  if (stub.empty() || !host::IsFile(stub)) {
    std::printf("stub: none installed%s; build takes --stub STUB\n", stub.empty() ? "" : (" at " + stub).c_str());
  } else if (!host::ReadFile(stub, bytes, &error)) {
    std::printf("stub: %s (%s)\n", stub.c_str(), error.c_str());
  } else if (!FindFileVersion(bytes.data(), bytes.size(), v)) {
    std::printf("stub: %s (no version resource)\n", stub.c_str());
  } else {
    std::printf("stub: %s, file version %u.%u.%u.%u\n", stub.c_str(), v[0], v[1], v[2], v[3]);
  }
  return 0;
}

}  // namespace mksetup
