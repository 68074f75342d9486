#include "tools/entry_data.h"

#include "tools/text_format.h"

#include <zlib.h>

namespace mksetup {

bool ReadEntryData(const ByteSource& source, const EntryInfo& entry, const DataTake& take, std::string* error) {
  if (!entry.dataInBounds || entry.dataOffset > source.Size() ||
      entry.compressedSize > source.Size() - entry.dataOffset) {
    *error = "its data lies outside the archive";
    return false;
  }
  uLong crc = crc32(0, nullptr, 0);
  uint64_t total = 0;
  bool stopped = false;
  auto deliver = [&](const uint8_t* data, size_t n) {
    crc = crc32(crc, data, uInt(n));
    total += n;
    if (take && !take(data, n)) stopped = true;
    return !stopped;
  };
  if (entry.method == 0) {
    if (!ReadInPieces(source, entry.dataOffset, entry.compressedSize, deliver)) {
      *error = stopped ? "reading it was stopped" : "its data cannot be read";
      return false;
    }
  } else if (entry.method == 8) {
    z_stream z{};
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK) {
      *error = "zlib cannot start inflating";
      return false;
    }
    uint8_t out[64 * 1024];
    int status = Z_OK;
    bool past = false;  // inflated beyond its declared size: damaged; stop before it costs more
    const bool read = ReadInPieces(source, entry.dataOffset, entry.compressedSize, [&](const uint8_t* data, size_t n) {
      z.next_in = const_cast<Bytef*>(data);
      z.avail_in = uInt(n);
      do {
        z.next_out = out;
        z.avail_out = uInt(sizeof out);
        status = inflate(&z, Z_NO_FLUSH);
        const size_t produced = sizeof out - z.avail_out;
        if (total + produced > entry.uncompressedSize) {
          total += produced;
          past = true;
          return false;
        }
        if (produced && !deliver(out, produced)) return false;
      } while (status == Z_OK && (z.avail_in > 0 || z.avail_out == 0));
      // Z_BUF_ERROR here: this piece is used up and the stream wants the next one.
      if (status == Z_BUF_ERROR && z.avail_in == 0) status = Z_OK;
      return status == Z_OK;
    });
    const char* message = z.msg;
    inflateEnd(&z);
    if (stopped) {
      *error = "reading it was stopped";
      return false;
    }
    if (!read && !past && status == Z_OK) {
      *error = "its data cannot be read";
      return false;
    }
    if (!past && status != Z_STREAM_END) {
      *error = status == Z_OK ? "its deflated data ends before the stream does"
                              : Format("its deflated data is damaged (zlib: %s)", message ? message : "error");
      return false;
    }
  } else {
    *error = Format("method %u cannot be read", unsigned(entry.method));
    return false;
  }
  if (total != entry.uncompressedSize) {
    *error = total > entry.uncompressedSize
                 ? Format("its data unpacks to more than the %llu bytes its header gives",
                          (unsigned long long)entry.uncompressedSize)
                 : Format("its data unpacks to %llu bytes, not the %llu its header gives", (unsigned long long)total,
                          (unsigned long long)entry.uncompressedSize);
    return false;
  }
  if (uint32_t(crc) != entry.crc) {
    *error = Format("its data has the CRC-32 0x%08X, not the 0x%08X its header gives", unsigned(crc), entry.crc);
    return false;
  }
  return true;
}

bool ReadEntryData(const uint8_t* data, size_t size, const EntryInfo& entry, std::vector<uint8_t>* out,
                   std::string* error) {
  if (out) out->clear();
  DataTake take;
  if (out) take = [out](const uint8_t* piece, size_t n) {
      out->insert(out->end(), piece, piece + n);
      return true;
    };
  return ReadEntryData(MemorySource(data, size), entry, take, error);
}

}  // namespace mksetup
