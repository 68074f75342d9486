#include "tools/signing.h"

#include "tools/host.h"

#include <cstdlib>

namespace mksetup {

std::string FindSigningProgram() {
  const char* chosen = std::getenv("MKSETUP_OSSLSIGNCODE");
  if (chosen && *chosen) return host::IsRunnable(chosen) ? chosen : std::string();
  return host::FindInPath("osslsigncode");
}

bool SignFile(const SignOptions& options, const std::string& in, const std::string& out, std::string* error) {
  std::vector<std::string> arguments = {options.program, "sign", "-certs", options.certificate, "-key", options.key,
                                        "-h", "sha256", "-time", std::to_string(options.time)};
  if (!options.passwordFile.empty()) arguments.insert(arguments.end(), {"-readpass", options.passwordFile});
  if (!options.description.empty()) arguments.insert(arguments.end(), {"-n", options.description});
  arguments.insert(arguments.end(), {"-in", in, "-out", out});
  const int status = host::RunProgram(arguments);
  if (status == 0) return true;
  *error = status < 0 ? "could not start " + options.program
                      : options.program + " failed (exit status " + std::to_string(status) + ")";
  return false;
}

}  // namespace mksetup
