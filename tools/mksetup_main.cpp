// mksetup: the vendor's packager. Builds setup files (the setup program's stub, the eight
// marker bytes, a ZIP archive) that the setup program can install, and lists and
// verifies existing ones; `mksetup --help` tells everything.
#include "tools/cli.h"
#include "tools/command_build.h"
#include "tools/command_inspect.h"
#include "tools/host.h"
#include "tools/installed_stub.h"

int main(int argc, char** argv) {
  using namespace mksetup;
  const Arguments args = host::Arguments(argc, argv);
  const std::string command = args.size() >= 2 ? args[1] : "";
  if (command == "build") return Build(args);
  if (command == "list") return Inspect(args, false);
  if (command == "verify") return Inspect(args, true);
  if (command == "count-markers") return CountMarkers(args);
  if (command == "--version" && args.size() == 2) return PrintVersion();
  if (command == "--help" || command == "-h" || command == "help") return Help();
  return Usage();
}
