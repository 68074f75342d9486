// archive_bench [ENTRIES]: the cost per entry of reading every record and extracting
// every entry, as the unpacking driver does, with and without the stream's read-ahead.
// Prints platform calls (reads and seeks through the stream) and wall time per entry.
// Not a test: figures come from here, never from timed assertions.
#include "tests/unit/archive_test_support.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

using namespace testing_support;

int main(int argc, char** argv) {
  const int entries = argc > 1 ? std::atoi(argv[1]) : 2000;
  ScratchDir dir;
  ZipBuilder zip;
  for (int i = 0; i < entries; ++i) {
    const std::string data(1024 + i % 512, char('a' + i % 26));
    ZipEntry& e = i % 2 ? zip.AddDeflated("d:/Product/BIN/file" + std::to_string(i) + ".dat", data)
                        : zip.AddStored("d:/Product/DOC/file" + std::to_string(i) + ".txt", data);
    e.localExtra = UtBlock(7, {1500000000, 1500000000, 1500000000});
  }
  WriteBytes(dir.Posix("a.zip"), zip.Build());
  mkdir(dir.Posix("out").c_str(), 0700);
  if (chdir(dir.path().c_str()) != 0) return 1;

  for (DWORD readAhead : {0u, kArchiveReadAheadDefault}) {
    for (bool extract : {false, true}) {
      const auto start = std::chrono::steady_clock::now();
      ArchiveHandle h = OpenArchiveFile(dir.Win("a.zip").c_str(), readAhead);
      if (!h) return 1;
      ArchiveEntry e{};
      for (int i = 0; i < entries; ++i) {
        if (ArchiveGetEntry(h, i, &e) != ArchiveOk) return 1;
        if (extract && ArchiveExtractEntry(h, i, e.name, 0, ArchiveKindFile, 'D', dir.Win("out").c_str()) != ArchiveOk)
          return 1;
      }
      const ArchiveStream& s = *h->reader->opener.opened;
      const double reads = double(s.platformReads) / entries, seeks = double(s.platformSeeks) / entries;
      ArchiveClose(h);
      const double us = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
      std::printf("read-ahead %5lu, %-19s: %6.1f reads, %5.1f seeks, %7.1f us per entry\n", (unsigned long)readAhead,
                  extract ? "records + extract" : "records only", reads, seeks, us / entries);
    }
  }
  return 0;
}
