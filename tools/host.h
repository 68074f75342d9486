// What mksetup needs of the system it runs on: files, folders, its own location and
// other programs. One implementation per platform (host_posix.cpp, host_windows.cpp),
// chosen by the build; the rest of tools/ is the same everywhere.
//
// Every path and argument is UTF-8 text. On Linux that is the file system's own bytes;
// on Windows the host converts to and from UTF-16 at every call, so that a name outside
// the ANSI code page reaches the file it names. Failing calls return false (or an empty
// result) with a sentence for the user in `error` where one is taken.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace mksetup {
namespace host {

// The program's arguments as UTF-8, argv[0] included. On Windows they are taken from
// the wide command line, not from `argv`, whose bytes are the ANSI code page's.
std::vector<std::string> Arguments(int argc, char** argv);

// fopen for a UTF-8 path.
FILE* OpenFile(const std::string& path, const char* mode);

// Moves a file opened by OpenFile to `offset` from its start; 64-bit offsets on every
// platform (a setup file passes 2 GiB, where a long is 32 bits on Windows).
bool SeekFile(FILE* file, uint64_t offset);

// The size of a file opened by OpenFile; false when it cannot be told.
bool SizeOfFile(FILE* file, uint64_t* size);

// Cuts or extends a file opened for writing to `size` bytes (its buffer flushed first).
bool TruncateFile(FILE* file, uint64_t size);

// The whole content of a file.
bool ReadFile(const std::string& path, std::vector<uint8_t>& bytes, std::string* error);

// Creates or truncates `path` and writes `bytes`; a file that could not be written
// whole, the close included (a full disk may show only there), is removed.
bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string* error);

// Renames `from` to `to`, replacing a file of that name.
bool RenameOver(const std::string& from, const std::string& to, std::string* error);

// Removes a file; false when there was none or it could not be removed.
bool RemoveFile(const std::string& path);

// A file's modification time, in seconds since 1970 (UTC).
bool ModificationTime(const std::string& path, int64_t* seconds);

// The absolute form of `path`, its folders resolved; `path` itself when that fails.
std::string FullPath(const std::string& path);

// Every file under `directory`, as paths relative to it with '/' between folders, in
// no particular order. Links to files and folders are followed, except a link back to a
// folder it lies in. False, saying why, when a folder cannot be read or something there
// is neither a file nor a folder.
bool FilesUnder(const std::string& directory, std::vector<std::string>* files, std::string* error);

// Whether `path` names a file (or a link to one).
bool IsFile(const std::string& path);

// The folder part of `path`, without its last separator; "." when it has none.
std::string FolderOf(const std::string& path);

// Joins a folder and a relative path as the platform writes paths.
std::string JoinPath(const std::string& directory, const std::string& relative);

// The path of the running executable; empty when it cannot be found.
std::string OwnExecutable();

// Whether `path` is a file this process may execute.
bool IsRunnable(const std::string& path);

// `name` found in the folders of PATH (with ".exe" on Windows); empty when absent.
std::string FindInPath(const std::string& name);

// Runs a program with these arguments, its standard output sent to our standard error
// so that ours stays for our own report. Returns its exit status, or -1 when it could
// not be started.
int RunProgram(const std::vector<std::string>& arguments);

// A new, empty file in the temporary folder, open for writing. False when none can be
// made.
bool MakeTemporaryFile(std::string* path, FILE** file);

}  // namespace host
}  // namespace mksetup
