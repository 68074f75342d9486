// mksetup: builds a setup file from the setup program's stub and a ZIP archive:
//   stub, the eight marker bytes, the archive.
//
//   mksetup build --stub STUB --out SETUP (--zip ARCHIVE | --add STORED=FILE ...)
//   mksetup count-markers FILE
//
// The setup program finds its archive behind the second marker of its own file, so the
// stub must hold the marker exactly once and the archive not at all. Nothing is left
// half-written: the output is written beside its final name and renamed at the end.
#include "payload/payload_marker.h"

#include <zip.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: mksetup build --stub STUB --out SETUP (--zip ARCHIVE | --add STORED=FILE ...)\n"
               "       mksetup count-markers FILE\n"
               "  --add stores FILE deflated under the name STORED (such as d:/Galvery/RELEASE/Galvery.EXE)\n"
               "        with its modification time as DOS stamp and as an extended timestamp.\n");
  return 2;
}

bool ReadWhole(const std::string& path, std::vector<BYTE>& bytes) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    std::fprintf(stderr, "mksetup: cannot open %s: %s\n", path.c_str(), std::strerror(errno));
    return false;
  }
  bytes.clear();
  BYTE chunk[65536];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
  const bool ok = !std::ferror(f);
  std::fclose(f);
  if (!ok) std::fprintf(stderr, "mksetup: cannot read %s\n", path.c_str());
  return ok;
}

bool AddFile(zipFile zip, const std::string& stored, const std::string& path) {
  std::vector<BYTE> data;
  if (!ReadWhole(path, data)) return false;
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return false;
  // The reader takes the DOS stamp as UTC, so it is written as UTC.
  const time_t mtime = st.st_mtime;
  struct tm utc;
#ifdef _WIN32
  gmtime_s(&utc, &mtime);
#else
  gmtime_r(&mtime, &utc);
#endif
  zip_fileinfo info{};
  info.tmz_date.tm_sec = uInt(utc.tm_sec);
  info.tmz_date.tm_min = uInt(utc.tm_min);
  info.tmz_date.tm_hour = uInt(utc.tm_hour);
  info.tmz_date.tm_mday = uInt(utc.tm_mday);
  info.tmz_date.tm_mon = uInt(utc.tm_mon);
  info.tmz_date.tm_year = uInt(utc.tm_year + 1900);
  info.external_fa = 0x81A40020u;  // regular file, rw-r--r--, DOS archive bit
  // Extended timestamp "UT": flags 1 (modification time), then the time, little-endian.
  const uint32_t t = uint32_t(mtime);
  const unsigned char ut[9] = {'U', 'T', 5, 0, 1, BYTE(t), BYTE(t >> 8), BYTE(t >> 16), BYTE(t >> 24)};
  if (zipOpenNewFileInZip(zip, stored.c_str(), &info, ut, sizeof ut, nullptr, 0, nullptr, Z_DEFLATED, 9) != ZIP_OK ||
      (!data.empty() && zipWriteInFileInZip(zip, data.data(), unsigned(data.size())) != ZIP_OK) ||
      zipCloseFileInZip(zip) != ZIP_OK) {
    std::fprintf(stderr, "mksetup: cannot add %s\n", path.c_str());
    return false;
  }
  return true;
}

bool MakeArchive(const std::string& path, const std::vector<std::pair<std::string, std::string>>& files) {
  zipFile zip = zipOpen(path.c_str(), APPEND_STATUS_CREATE);
  if (!zip) {
    std::fprintf(stderr, "mksetup: cannot create %s\n", path.c_str());
    return false;
  }
  bool ok = true;
  for (const auto& f : files) ok = ok && AddFile(zip, f.first, f.second);
  ok = zipClose(zip, nullptr) == ZIP_OK && ok;
  return ok;
}

bool WriteAll(FILE* f, const BYTE* data, size_t size) { return size == 0 || std::fwrite(data, 1, size, f) == size; }

int Build(int argc, char** argv) {
  std::string stub, out, zip;
  std::vector<std::pair<std::string, std::string>> adds;
  for (int i = 2; i < argc; ++i) {
    const std::string a = argv[i];
    if (i + 1 >= argc) return Usage();
    const std::string v = argv[++i];
    if (a == "--stub") stub = v;
    else if (a == "--out") out = v;
    else if (a == "--zip") zip = v;
    else if (a == "--add") {
      const auto eq = v.find('=');
      if (eq == std::string::npos || eq == 0 || eq + 1 == v.size()) return Usage();
      adds.emplace_back(v.substr(0, eq), v.substr(eq + 1));
    } else return Usage();
  }
  if (stub.empty() || out.empty() || zip.empty() == adds.empty()) return Usage();

  std::vector<BYTE> stubBytes, archive;
  if (!ReadWhole(stub, stubBytes)) return 1;
  const size_t inStub = FindMarkerOccurrences(stubBytes.data(), stubBytes.size()).size();
  if (inStub != 1) {
    std::fprintf(stderr, "mksetup: %s holds the marker %zu times, not once: not a setup program stub\n",
                 stub.c_str(), inStub);
    return 1;
  }

  const std::string temp = out + ".partial";
  if (!adds.empty()) {
    zip = out + ".zip.partial";
    const bool made = MakeArchive(zip, adds);
    if (!made || !ReadWhole(zip, archive)) {
      std::remove(zip.c_str());
      return 1;
    }
    std::remove(zip.c_str());
  } else if (!ReadWhole(zip, archive)) {
    return 1;
  }
  if (!FindMarkerOccurrences(archive.data(), archive.size()).empty()) {
    std::fprintf(stderr, "mksetup: the archive holds eight 0x55 bytes in a row; the setup program "
                         "would find a third marker and refuse to install\n");
    return 1;
  }

  FILE* f = std::fopen(temp.c_str(), "wb");
  if (!f) {
    std::fprintf(stderr, "mksetup: cannot create %s: %s\n", temp.c_str(), std::strerror(errno));
    return 1;
  }
  const size_t markerLength = std::strlen(PayloadMarker);
  bool ok = WriteAll(f, stubBytes.data(), stubBytes.size()) &&
            WriteAll(f, reinterpret_cast<const BYTE*>(PayloadMarker), markerLength) &&
            WriteAll(f, archive.data(), archive.size());
  ok = std::fclose(f) == 0 && ok;
  if (!ok) std::fprintf(stderr, "mksetup: cannot write %s\n", temp.c_str());
#ifdef _WIN32
  if (ok) std::remove(out.c_str());  // rename does not replace on Windows
#endif
  if (ok && std::rename(temp.c_str(), out.c_str()) != 0) {
    std::fprintf(stderr, "mksetup: cannot rename %s to %s: %s\n", temp.c_str(), out.c_str(), std::strerror(errno));
    ok = false;
  }
  if (!ok) {
    std::remove(temp.c_str());
    return 1;
  }
  std::printf("%s: %zu bytes of stub, marker, %zu bytes of archive\n", out.c_str(), stubBytes.size(), archive.size());
  return 0;
}

int CountMarkers(int argc, char** argv) {
  if (argc != 3) return Usage();
  std::vector<BYTE> bytes;
  if (!ReadWhole(argv[2], bytes)) return 1;
  std::printf("%zu\n", FindMarkerOccurrences(bytes.data(), bytes.size()).size());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "build") == 0) return Build(argc, argv);
  if (argc >= 2 && std::strcmp(argv[1], "count-markers") == 0) return CountMarkers(argc, argv);
  if (argc >= 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    Usage();
    return 0;
  }
  return Usage();
}
