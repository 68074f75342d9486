// plain_extract SETUP-OR-ZIP DIR: what a plain extractor does with a setup file, as the
// measure bench/install_vs_plain.sh holds the setup program against. It copies the
// archive behind the second "UUUUUUUU" (the stub holds the first) to DIR\pack.zip in one
// pass, then writes every entry flat into DIR under its base name: one CreateFileW
// (CREATE_ALWAYS), the data, SetFileTime from the entry's DOS time, CloseHandle. No
// checks beyond minizip's own, no dialogs; errors only on stderr. Prints the time its work
// took, by its own clock: "plain_extract: work <seconds>".
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "unzip.h"

namespace {

bool Fail(const char* what, const std::wstring& name) {
  fprintf(stderr, "plain_extract: %s: %ls (error %lu)\n", what, name.c_str(), GetLastError());
  return false;
}

std::wstring Wide(const char* text, UINT codePage) {
  int n = MultiByteToWideChar(codePage, 0, text, -1, nullptr, 0);
  std::wstring out(n > 0 ? n - 1 : 0, L'\0');
  if (n > 1) MultiByteToWideChar(codePage, 0, text, -1, &out[0], n);
  return out;
}

// Copies what follows the second marker (or the whole file when it is a bare zip).
bool CopyArchive(const std::wstring& from, const std::wstring& to) {
  HANDLE in = CreateFileW(from.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (in == INVALID_HANDLE_VALUE) return Fail("cannot open", from);
  HANDLE out = CreateFileW(to.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (out == INVALID_HANDLE_VALUE) { CloseHandle(in); return Fail("cannot create", to); }
  std::vector<char> buf(1 << 20);
  int markers = 0, run = 0;
  bool copying = false, first = true, ok = true;
  DWORD got = 0;
  while (ok && ReadFile(in, buf.data(), static_cast<DWORD>(buf.size()), &got, nullptr) && got > 0) {
    DWORD from_at = 0;
    if (first && got >= 4 && memcmp(buf.data(), "PK\3\4", 4) == 0) copying = true;
    first = false;
    // Only the stub is scanned: once the archive begins, the rest is copied as it is.
    for (DWORD i = 0; !copying && i < got; ++i) {
      run = buf[i] == 'U' ? run + 1 : 0;
      if (run == 8 && ++markers == 2) { copying = true; from_at = i + 1; }
      if (run == 8) run = 0;
    }
    DWORD put = 0;
    if (copying && got > from_at && !WriteFile(out, buf.data() + from_at, got - from_at, &put, nullptr))
      ok = Fail("cannot write", to);
  }
  CloseHandle(in);
  if (!CloseHandle(out) && ok) ok = Fail("cannot close", to);
  if (ok && !copying) {
    fprintf(stderr, "plain_extract: no archive behind a second marker in %ls\n", from.c_str());
    return false;
  }
  return ok;
}

// minizip's file functions over a wide-named Win32 handle, so no ANSI path is involved.
voidpf ZOpen(voidpf, const void* name, int) {
  HANDLE h = CreateFileW(static_cast<const wchar_t*>(name), GENERIC_READ, FILE_SHARE_READ, nullptr,
                         OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  return h == INVALID_HANDLE_VALUE ? nullptr : h;
}
uLong ZRead(voidpf, voidpf h, void* buf, uLong size) {
  DWORD got = 0;
  return ReadFile(h, buf, size, &got, nullptr) ? got : 0;
}
uLong ZWrite(voidpf, voidpf, const void*, uLong) { return 0; }
ZPOS64_T ZTell(voidpf, voidpf h) {
  LARGE_INTEGER zero{}, at{};
  return SetFilePointerEx(h, zero, &at, FILE_CURRENT) ? static_cast<ZPOS64_T>(at.QuadPart) : ~ZPOS64_T{0};
}
long ZSeek(voidpf, voidpf h, ZPOS64_T offset, int origin) {
  DWORD how = origin == ZLIB_FILEFUNC_SEEK_CUR ? FILE_CURRENT : origin == ZLIB_FILEFUNC_SEEK_END ? FILE_END : FILE_BEGIN;
  LARGE_INTEGER to;
  to.QuadPart = static_cast<LONGLONG>(offset);
  return SetFilePointerEx(h, to, nullptr, how) ? 0 : -1;
}
int ZClose(voidpf, voidpf h) { return CloseHandle(h) ? 0 : -1; }
int ZError(voidpf, voidpf) { return 0; }

bool ExtractAll(const std::wstring& zip, const std::wstring& dir) {
  zlib_filefunc64_def io{ZOpen, ZRead, ZWrite, ZTell, ZSeek, ZClose, ZError, nullptr};
  unzFile z = unzOpen2_64(zip.c_str(), &io);
  if (!z) return Fail("not an archive", zip);
  std::vector<char> buf(16 << 10);
  bool ok = true;
  for (int at = unzGoToFirstFile(z); ok && at == UNZ_OK; at = unzGoToNextFile(z)) {
    unz_file_info64 info;
    char name[1024];
    if (unzGetCurrentFileInfo64(z, &info, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK) {
      ok = Fail("cannot read an entry of", zip);
      break;
    }
    std::wstring wide = Wide(name, (info.flag & 0x800) ? CP_UTF8 : CP_OEMCP);
    size_t slash = wide.find_last_of(L"/\\");
    std::wstring base = slash == std::wstring::npos ? wide : wide.substr(slash + 1);
    if (base.empty()) continue;  // a folder entry
    std::wstring path = dir + L"\\" + base;
    if (unzOpenCurrentFile(z) != UNZ_OK) { ok = Fail("cannot open entry", wide); break; }
    HANDLE out = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) { ok = Fail("cannot create", path); unzCloseCurrentFile(z); break; }
    int n;
    DWORD put;
    while ((n = unzReadCurrentFile(z, buf.data(), static_cast<unsigned>(buf.size()))) > 0)
      if (!WriteFile(out, buf.data(), static_cast<DWORD>(n), &put, nullptr)) { ok = Fail("cannot write", path); break; }
    if (n < 0) ok = Fail("damaged entry", wide);
    FILETIME local, utc;
    if (ok && DosDateTimeToFileTime(HIWORD(info.dosDate), LOWORD(info.dosDate), &local) &&
        LocalFileTimeToFileTime(&local, &utc))
      SetFileTime(out, nullptr, nullptr, &utc);
    if (!CloseHandle(out) && ok) ok = Fail("cannot close", path);
    if (unzCloseCurrentFile(z) != UNZ_OK && ok) ok = Fail("bad checksum", wide);
  }
  unzClose(z);
  return ok;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: plain_extract SETUP-FILE-OR-ZIP DIRECTORY\n");
    return 2;
  }
  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  std::wstring dir = argv[2];
  CreateDirectoryW(dir.c_str(), nullptr);  // already there on an upgrade
  std::wstring pack = dir + L"\\pack.zip";
  const bool ok = CopyArchive(argv[1], pack) && ExtractAll(pack, dir);
  QueryPerformanceCounter(&end);
  printf("plain_extract: work %.3f\n", double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart));
  return ok ? 0 : 1;
}
