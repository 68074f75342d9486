// What an installation step tells of its progress while it writes: the window that shows
// it keeps the program answering meanwhile.
#pragma once

#include <cstdint>

enum class InstallStage {
  kCopying,    // the archive out of the setup file into the pack file
  kUnpacking,  // the entries out of the pack file into the directory
};

class CInstallProgress {
 public:
  virtual ~CInstallProgress() = default;
  // A stage begins that will write `total` bytes.
  virtual void BeginStage(InstallStage stage, uint64_t total) = 0;
  // `done` bytes of the stage have been written (handed to the system), or passed over
  // with an entry that failed: never less than before, never more than the stage's
  // total, and the total itself only once the stage's last byte is written (or its last
  // entry has failed). Called often, also when nothing more was written.
  virtual void Written(uint64_t done) = 0;
};
