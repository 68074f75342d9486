#include "tools/signing.h"

#include "platform/handles.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#ifdef _WIN32
#include <windows.h>
#else
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

namespace mksetup {
namespace {

#ifdef _WIN32
// One argument as the C run-time of the started program splits it again: quotes around
// anything with blanks, backslashes doubled only in front of a quote.
std::string QuoteArgument(const std::string& argument) {
  if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos) return argument;
  std::string out = "\"";
  size_t backslashes = 0;
  for (char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    out.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
    backslashes = 0;
    out += c;
  }
  out.append(backslashes * 2, '\\');
  return out + "\"";
}
#endif

bool IsRunnable(const std::string& path) {
#ifdef _WIN32
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
#else
  return access(path.c_str(), X_OK) == 0;
#endif
}

}  // namespace

std::string FindSigningProgram() {
  const char* chosen = std::getenv("MKSETUP_OSSLSIGNCODE");
  if (chosen && *chosen) return IsRunnable(chosen) ? chosen : std::string();
#ifdef _WIN32
  char found[MAX_PATH + 1];
  const DWORD length = SearchPathA(nullptr, "osslsigncode", ".exe", sizeof found, found, nullptr);
  return length > 0 && length <= MAX_PATH ? std::string(found) : std::string();
#else
  const char* path = std::getenv("PATH");
  std::string rest = path ? path : "/usr/bin:/bin";
  size_t start = 0;
  while (start <= rest.size()) {
    size_t end = rest.find(':', start);
    if (end == std::string::npos) end = rest.size();
    const std::string directory = end > start ? rest.substr(start, end - start) : ".";
    const std::string candidate = directory + "/osslsigncode";
    if (IsRunnable(candidate)) return candidate;
    start = end + 1;
  }
  return std::string();
#endif
}

int RunProgram(const std::vector<std::string>& arguments) {
#ifdef _WIN32
  std::string commandLine;
  for (const std::string& a : arguments) commandLine += (commandLine.empty() ? "" : " ") + QuoteArgument(a);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = GetStdHandle(STD_ERROR_HANDLE);
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(arguments[0].c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                      &process))
    return -1;
  const CHandle thread(process.hThread), child(process.hProcess);
  WaitForSingleObject(child.Get(), INFINITE);
  DWORD code = 1;
  GetExitCodeProcess(child.Get(), &code);
  return int(code);
#else
  std::vector<char*> argv;
  for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, STDERR_FILENO, STDOUT_FILENO);
  pid_t pid = 0;
  const int started = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (started != 0) return -1;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
#endif
}

bool SignFile(const SignOptions& options, const std::string& in, const std::string& out, std::string* error) {
  std::vector<std::string> arguments = {options.program, "sign", "-certs", options.certificate, "-key", options.key,
                                        "-h", "sha256", "-time", std::to_string(options.time)};
  if (!options.passwordFile.empty()) arguments.insert(arguments.end(), {"-readpass", options.passwordFile});
  if (!options.description.empty()) arguments.insert(arguments.end(), {"-n", options.description});
  arguments.insert(arguments.end(), {"-in", in, "-out", out});
  const int status = RunProgram(arguments);
  if (status == 0) return true;
  *error = status < 0 ? "could not start " + options.program
                      : options.program + " failed (exit status " + std::to_string(status) + ")";
  return false;
}

}  // namespace mksetup
