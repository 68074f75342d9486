// Whether the destination's disk has room for an installation, judged before anything is
// written from what the central directory declares. The check can be wrong (quotas,
// compression, other writers), so the handling of a full disk while it writes stays.
#pragma once

#include "framework/afxstr.h"
#include "payload/payload_layout.h"

#include <cstdint>

// The room the files take, in the order they are written: a file written over an earlier
// version is written beside it first, so both take room until it replaces the old one.
// Sizes count in whole clusters of 4 KiB, and a megabyte more is kept as a margin.
class CRoomCount {
 public:
  static const uint64_t kCluster = 4096;
  static const uint64_t kMargin = 1 << 20;

  // The next file: `size` bytes, over an earlier version of `replaced` bytes (0: none).
  void Add(uint64_t size, uint64_t replaced);
  // What the installation needs: the pack file of `packFile` bytes (where one of
  // `oldPackFile` bytes is deleted first), then the files, and the margin.
  uint64_t Needed(uint64_t packFile, uint64_t oldPackFile) const;

 private:
  int64_t m_running = 0;  // the files' room so far, less what the versions they replaced took
  int64_t m_peak = 0;
};

// The room the setup file's entries need in `directory` (each file's earlier version
// looked up there when the directory exists), with the pack file; CRoomCount's rules.
class CInstallRoom {
 public:
  CInstallRoom(const CStringW& directory, bool directoryExists) : m_directory(directory), m_exists(directoryExists) {}
  // A PayloadEntryVisitor, with this as its context.
  static void Visit(void* context, const PayloadEntry& entry);
  uint64_t Needed(const PayloadLayout& layout, const CStringW& packFile) const;

 private:
  CStringW m_directory;
  bool m_exists;
  CRoomCount m_count;
};

// The bytes free for this user on the disk `directory` is to be on: measured at the
// directory, or at the nearest folder above it that exists. False when none can be measured.
bool FreeRoomFor(const CStringW& directory, uint64_t* bytes);

// "12.3 MB": a size as the room message gives it, in megabytes of 1,048,576 bytes.
CString MegabytesOf(uint64_t bytes);
