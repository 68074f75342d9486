// archive_bench [ENTRIES]: the cost per entry of reading every record and extracting
// every entry, as the unpacking driver does, with and without the stream's read-ahead.
// Prints platform calls (reads and seeks through the stream) and wall time per entry.
// Then what writing each file costs: the whole extraction into a new folder and over the
// files already there, and the environment's calls of one file alone, written in place
// (created over the target) against written beside it and put in its place (a look at
// the target, a new file, the rename of the open file over it), which is what extraction does.
// Not a test: figures come from here, never from timed assertions.
#include "platform/utf8.h"
#include "tests/unit/archive_test_support.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace testing_support;

namespace {

double MicrosecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
}

// Microseconds per file for writing `files` files of `data` into `folder` with the
// environment's calls alone, in place or beside and put in place.
double WriteFiles(const std::string& folder, int files, const std::string& data, bool beside) {
  const FileTime t = 0x01D2FC4A6E8B2800;
  const std::wstring temporary = WideFromUtf8(folder + "\\~0.tmp");
  CEnv& env = Env();
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < files; ++i) {
    const std::wstring path = WideFromUtf8(folder + "\\file" + std::to_string(i) + ".dat");
    std::unique_ptr<CWritableFile> f;
    if (!beside) {
      if (env.OpenForWriting(path, CreateMode::kAlways, &f) != kSysOk || f->Write(data.data(), data.size()) != kSysOk)
        std::exit(1);
      f->SetTimes(t, t, t);
      if (f->Close() != kSysOk) std::exit(1);
      continue;
    }
    if (env.OpenForWriting(path, CreateMode::kNewElseLookUp, &f) != kSysFileExists) std::exit(1);
    if (env.OpenForWriting(temporary, CreateMode::kNew, &f) != kSysOk || f->Write(data.data(), data.size()) != kSysOk)
      std::exit(1);
    f->SetTimes(t, t, t);
    bool atClose = false;
    if (f->CloseInPlaceOf(path, &atClose) != kSysOk) std::exit(1);
  }
  return MicrosecondsSince(start) / files;
}

}  // namespace

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
  MakeDir(dir.Posix("out"));
  ChangeDir(dir.path());

  for (uint32_t readAhead : {0u, kArchiveReadAheadDefault}) {
    for (bool extract : {false, true}) {
      const auto start = std::chrono::steady_clock::now();
      ArchiveHandle h = OpenArchiveFile(W(dir.Win("a.zip")), readAhead);
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

  // The whole extraction, as the unpacking driver does it, into a folder of its own and
  // then once more over the files it left.
  for (const char* pass : {"into a new folder", "over its files"}) {
    if (pass[0] == 'i') MakeDir(dir.Posix("fresh"));
    const auto start = std::chrono::steady_clock::now();
    ArchiveHandle h = OpenArchiveFile(W(dir.Win("a.zip")), kArchiveReadAheadDefault);
    if (!h) return 1;
    ArchiveEntry e{};
    for (int i = 0; i < entries; ++i)
      if (ArchiveGetEntry(h, i, &e) != ArchiveOk ||
          ArchiveExtractEntry(h, i, e.name, 0, ArchiveKindFile, 'D', dir.Win("fresh").c_str()) != ArchiveOk)
        return 1;
    ArchiveClose(h);
    std::printf("records + extract, %-18s: %7.1f us per entry\n", pass, MicrosecondsSince(start) / entries);
  }

  // The platform calls of writing one file, each way. The ways take turns, each round in
  // folders of its own, so that a busy disk or its journal weighs on both alike; nothing
  // is deleted until the end (deleting thousands of files slows down what follows).
  const std::string data(1024, 'x');
  const char* ways[] = {"in place", "beside + replace"};
  std::vector<double> figures[2][2];
  for (int round = 0; round < 5; ++round) {
    for (int way = 0; way < 2; ++way) {
      const std::string folder = "w" + std::to_string(way) + "r" + std::to_string(round);
      MakeDir(dir.Posix(folder));
      for (int over = 0; over < 2; ++over) figures[way][over].push_back(WriteFiles(dir.Win(folder), entries, data, way == 1));
    }
  }
  for (int way = 0; way < 2; ++way) {
    for (auto& f : figures[way]) std::sort(f.begin(), f.end());
    std::printf("writing a file of 1 KiB, %-16s: %6.1f us new, %6.1f us over the file there (median of 5)\n",
                ways[way], figures[way][0][2], figures[way][1][2]);
  }
  return 0;
}
