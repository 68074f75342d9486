// The file functions minizip reads an archive through, over the environment's files.
//
// Positions are 32-bit: an archive file of 4 GB or more cannot be positioned to its end
// and is refused when it is opened, rather than read at a wrapped position.
#include "archive/archive_internal.h"
#include "platform/env.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

namespace {

ArchiveStream* AsStream(voidpf stream) { return static_cast<ArchiveStream*>(stream); }

// The largest position the stream hands out; 0xFFFFFFFF is minizip's "unknown".
const uint64_t kLastPosition = 0xFFFFFFFEu;

// Sets the file's position; false when it cannot be set or lies beyond 32 bits.
bool SetPlatformPosition(ArchiveStream& s, uint64_t position) {
  ++s.platformSeeks;
  return position <= kLastPosition && s.file->Seek(position) == kSysOk;
}

// Makes `target` the stream's position. Inside the read-ahead window only the window
// moves; elsewhere the window is dropped and the platform's position set.
bool MoveTo(ArchiveStream& s, uint64_t target) {
  if (target > kLastPosition) return false;
  if (target >= s.bufferStart && target <= uint64_t(s.bufferStart) + s.fill) {
    s.pos = uint32_t(target - s.bufferStart);
    return true;
  }
  if (!SetPlatformPosition(s, target)) return false;
  s.bufferStart = uint32_t(target);
  s.fill = s.pos = 0;
  s.atEnd = false;
  return true;
}

// minizip's own name argument is not used: the opener names the file in wide text.
voidpf ZCALLBACK StreamOpen(voidpf opaque, const void* /*filename*/, int /*mode: always read*/) {
  auto* opener = static_cast<ArchiveStreamOpener*>(opaque);
  if (!opener || !opener->widePath) return nullptr;
  std::unique_ptr<CReadableFile> file;
  if (Env().OpenForReading(opener->widePath, &file) != kSysOk) return nullptr;
  auto* s = new (std::nothrow) ArchiveStream{};
  if (!s) return nullptr;
  s->file = std::move(file);
  s->canSeek = s->file->IsDiskFile();
  s->capacity = opener->readAhead;
  if (s->capacity) {
    s->buffer.reset(new (std::nothrow) unsigned char[s->capacity]);
    if (!s->buffer) s->capacity = 0;  // reads then go straight to the file
  }
  opener->opened = s;
  opener->openedDiskFile = s->canSeek;
  return s;
}

uLong ZCALLBACK StreamRead(voidpf, voidpf stream, void* buf, uLong size) {
  ArchiveStream& s = *AsStream(stream);
  auto* out = static_cast<unsigned char*>(buf);
  uLong done = 0;
  while (done < size) {
    if (s.pos < s.fill) {
      const uint32_t n = uint32_t(std::min<uLong>(s.fill - s.pos, size - done));
      std::memcpy(out + done, s.buffer.get() + s.pos, n);
      s.pos += n;
      done += n;
      continue;
    }
    // The window is used up, so the platform's position is the stream's.
    s.bufferStart += s.fill;
    s.fill = s.pos = 0;
    if (s.atEnd) break;
    const uLong want = size - done;
    if (want >= s.capacity) {
      // Entry data comes in large pieces: read it straight into the caller's buffer.
      const size_t ask = std::min<uLong>(want, 0x40000000u);
      size_t got = 0;
      const bool ok = s.file->Read(out + done, ask, &got) == kSysOk;
      ++s.platformReads;
      if (!ok) s.failed = true;
      s.bufferStart += uint32_t(got);
      done += got;
      if (ok && got < ask) s.atEnd = true;
      if (!ok || got < ask) break;
      continue;
    }
    size_t got = 0;
    const bool ok = s.file->Read(s.buffer.get(), s.capacity, &got) == kSysOk;
    ++s.platformReads;
    if (!ok) s.failed = true;
    s.fill = uint32_t(got);
    if (ok && got < s.capacity) s.atEnd = true;
    if (!ok || got == 0) break;
  }
  return done;
}

uLong ZCALLBACK StreamWrite(voidpf, voidpf, const void*, uLong) { return 0; }

ZPOS64_T ZCALLBACK StreamTell(voidpf, voidpf stream) {
  const ArchiveStream& s = *AsStream(stream);
  return s.canSeek ? ZPOS64_T(s.bufferStart) + s.pos : 0;
}

// A handle that is not a disk file cannot seek, so minizip never finds an archive in it.
long ZCALLBACK StreamSeek(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
  ArchiveStream& s = *AsStream(stream);
  if (!s.canSeek) return -1;
  uint64_t target = 0;
  switch (origin) {
    case ZLIB_FILEFUNC_SEEK_SET:
      target = offset;
      break;
    case ZLIB_FILEFUNC_SEEK_CUR:
      // minizip steps back (after reading a central record's extra field) by a negative
      // distance in its 64 bits: the sum wraps to the position behind.
      target = uint64_t(s.bufferStart) + s.pos + offset;
      break;
    case ZLIB_FILEFUNC_SEEK_END: {
      uint64_t size = 0;
      if (s.file->Size(&size) != kSysOk || !SetPlatformPosition(s, size)) {
        // Put the file's position back where the window expects it.
        SetPlatformPosition(s, uint64_t(s.bufferStart) + s.fill);
        return -1;
      }
      s.bufferStart = uint32_t(size);
      s.fill = s.pos = 0;
      s.atEnd = false;
      target = uint64_t(size) + offset;
      break;
    }
    default:
      return -1;
  }
  return MoveTo(s, target) ? 0 : -1;
}

int ZCALLBACK StreamClose(voidpf, voidpf stream) {
  delete AsStream(stream);  // and with it the file handle and the buffer
  return 0;
}

int ZCALLBACK StreamError(voidpf, voidpf stream) { return AsStream(stream)->failed ? 1 : 0; }

}  // namespace

bool ArchiveFileSize(ArchiveStream& stream, uint64_t* size) {
  if (StreamSeek(nullptr, &stream, 0, ZLIB_FILEFUNC_SEEK_END) != 0) return false;
  *size = uint64_t(stream.bufferStart) + stream.pos;
  return true;
}

bool ReadArchiveAt(ArchiveStream& stream, uint64_t position, void* buffer, uint32_t count) {
  if (!stream.canSeek || !MoveTo(stream, position)) return false;
  return StreamRead(nullptr, &stream, buffer, count) == count;
}

void FillArchiveStreamFunctions(zlib_filefunc64_def* functions, ArchiveStreamOpener* opener) {
  functions->zopen64_file = StreamOpen;
  functions->zread_file = StreamRead;
  functions->zwrite_file = StreamWrite;
  functions->ztell64_file = StreamTell;
  functions->zseek64_file = StreamSeek;
  functions->zclose_file = StreamClose;
  functions->zerror_file = StreamError;
  functions->opaque = opener;
}
