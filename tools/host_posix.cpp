// mksetup's host on Linux and other POSIX systems: paths are the file system's bytes.
#include "tools/host.h"

#include "platform/handles.h"

#include <dirent.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <set>
#include <utility>

extern char** environ;

namespace mksetup {
namespace host {
namespace {

std::string Reason() { return std::strerror(errno); }

class CDirectory {
 public:
  explicit CDirectory(const std::string& path) : m_dir(opendir(path.c_str())) {}
  ~CDirectory() {
    if (m_dir) closedir(m_dir);
  }
  CDirectory(const CDirectory&) = delete;
  CDirectory& operator=(const CDirectory&) = delete;
  DIR* Get() const { return m_dir; }

 private:
  DIR* m_dir;
};

using FolderId = std::pair<dev_t, ino_t>;

bool Walk(const std::string& root, const std::string& relative, std::set<FolderId>& ancestors,
          std::vector<std::string>* files, std::string* error) {
  const std::string folder = relative.empty() ? root : root + "/" + relative;
  const CDirectory dir(folder);
  if (!dir.Get()) {
    *error = "cannot read the folder " + folder + ": " + Reason();
    return false;
  }
  for (;;) {
    errno = 0;
    const dirent* entry = readdir(dir.Get());
    if (!entry) {
      if (errno == 0) return true;
      *error = "cannot read the folder " + folder + ": " + Reason();
      return false;
    }
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    const std::string path = folder + "/" + name;
    const std::string below = relative.empty() ? name : relative + "/" + name;
    struct stat st;
    if (stat(path.c_str(), &st) != 0) {
      *error = "cannot read " + path + ": " + Reason();
      return false;
    }
    if (S_ISREG(st.st_mode)) {
      files->push_back(below);
    } else if (S_ISDIR(st.st_mode)) {
      // A link back to a folder above would otherwise be followed for ever.
      const FolderId id{st.st_dev, st.st_ino};
      if (!ancestors.insert(id).second) continue;
      const bool walked = Walk(root, below, ancestors, files, error);
      ancestors.erase(id);
      if (!walked) return false;
    } else {
      *error = path + " is neither a file nor a folder";
      return false;
    }
  }
}

}  // namespace

std::vector<std::string> Arguments(int argc, char** argv) { return std::vector<std::string>(argv, argv + argc); }

FILE* OpenFile(const std::string& path, const char* mode) { return std::fopen(path.c_str(), mode); }

bool RenameOver(const std::string& from, const std::string& to, std::string* error) {
  if (std::rename(from.c_str(), to.c_str()) == 0) return true;
  *error = "cannot rename " + from + " to " + to + ": " + Reason();
  return false;
}

bool RemoveFile(const std::string& path) { return std::remove(path.c_str()) == 0; }

bool ModificationTime(const std::string& path, int64_t* seconds) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return false;
  *seconds = int64_t(st.st_mtime);
  return true;
}

bool SeekFile(FILE* file, uint64_t offset) {
  return offset <= uint64_t(INT64_MAX) && fseeko(file, off_t(offset), SEEK_SET) == 0;
}

bool SizeOfFile(FILE* file, uint64_t* size) {
  struct stat st;
  if (fstat(fileno(file), &st) != 0) return false;
  *size = uint64_t(st.st_size);
  return true;
}

bool TruncateFile(FILE* file, uint64_t size) {
  return std::fflush(file) == 0 && size <= uint64_t(INT64_MAX) && ftruncate(fileno(file), off_t(size)) == 0;
}

std::string FullPath(const std::string& path) {
  // The folder is resolved, the name kept: the output need not exist yet.
  const size_t slash = path.find_last_of('/');
  const std::string folder = FolderOf(path);
  char* resolved = realpath(folder.c_str(), nullptr);
  if (!resolved) return path;
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  std::string full = std::string(resolved) + (std::strcmp(resolved, "/") == 0 ? "" : "/") + name;
  std::free(resolved);
  return full;
}

bool FilesUnder(const std::string& directory, std::vector<std::string>* files, std::string* error) {
  struct stat st;
  if (stat(directory.c_str(), &st) != 0) {
    *error = "cannot read the folder " + directory + ": " + Reason();
    return false;
  }
  if (!S_ISDIR(st.st_mode)) {
    *error = directory + " is not a folder";
    return false;
  }
  std::set<FolderId> ancestors = {{st.st_dev, st.st_ino}};
  return Walk(directory, std::string(), ancestors, files, error);
}

bool IsFile(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

std::string JoinPath(const std::string& directory, const std::string& relative) {
  if (directory.empty()) return relative;
  return directory + (directory.back() == '/' ? "" : "/") + relative;
}

std::string OwnExecutable() {
  char path[PATH_MAX + 1];
  const ssize_t n = readlink("/proc/self/exe", path, PATH_MAX);
  return n > 0 ? std::string(path, size_t(n)) : std::string();
}

bool IsRunnable(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

std::string FindInPath(const std::string& name) {
  const char* path = std::getenv("PATH");
  const std::string folders = path ? path : "/usr/bin:/bin";
  for (size_t start = 0; start <= folders.size();) {
    size_t end = folders.find(':', start);
    if (end == std::string::npos) end = folders.size();
    // An empty entry is the current folder, as the shell takes it.
    const std::string folder = end > start ? folders.substr(start, end - start) : ".";
    const std::string candidate = folder + "/" + name;
    if (IsRunnable(candidate)) return candidate;
    start = end + 1;
  }
  return std::string();
}

int RunProgram(const std::vector<std::string>& arguments) {
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
}

bool MakeTemporaryFile(std::string* path, FILE** file) {
  const char* directory = std::getenv("TMPDIR");
  std::string pattern = std::string(directory && *directory ? directory : "/tmp") + "/mksetup-pack-XXXXXX";
  const int fd = mkstemp(&pattern[0]);
  if (fd < 0) return false;
  *file = fdopen(fd, "wb");
  if (!*file) {
    close(fd);
    std::remove(pattern.c_str());
    return false;
  }
  *path = pattern;
  return true;
}

}  // namespace host
}  // namespace mksetup
