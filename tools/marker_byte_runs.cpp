#include "tools/marker_byte_runs.h"

#include "payload/payload_marker.h"
#include "tools/text_format.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace mksetup {

std::vector<std::pair<size_t, size_t>> FindMarkerByteRuns(const uint8_t* data, size_t size) {
  // The marker is one byte repeated, so any run at least as long as the marker holds one.
  const uint8_t byte = uint8_t(PayloadMarker[0]);
  const size_t minimum = std::strlen(PayloadMarker);
  std::vector<std::pair<size_t, size_t>> runs;
  size_t i = 0;
  while (i < size) {
    if (data[i] != byte) {
      ++i;
      continue;
    }
    size_t j = i;
    while (j < size && data[j] == byte) ++j;
    if (j - i >= minimum) runs.emplace_back(i, j - i);
    i = j;
  }
  return runs;
}

void MarkerByteRunScan::Feed(const uint8_t* data, size_t size) {
  const uint8_t byte = uint8_t(PayloadMarker[0]);
  const size_t minimum = std::strlen(PayloadMarker);
  const uint8_t* p = data;
  const uint8_t* end = data + size;
  while (p < end) {
    if (runLength_ == 0) {
      // memchr finds the next candidate far faster than a loop over bytes that are not.
      const void* next = std::memchr(p, byte, size_t(end - p));
      if (!next) break;
      p = static_cast<const uint8_t*>(next);
      runStart_ = fed_ + uint64_t(p - data);
    }
    while (p < end && *p == byte) {
      ++p;
      ++runLength_;
    }
    if (p == end) break;  // the run may go on in the next piece
    if (runLength_ >= minimum) runs_.emplace_back(size_t(runStart_), size_t(runLength_));
    runLength_ = 0;
  }
  fed_ += size;
}

std::vector<std::pair<size_t, size_t>> MarkerByteRunScan::Finish() {
  if (runLength_ >= std::strlen(PayloadMarker)) runs_.emplace_back(size_t(runStart_), size_t(runLength_));
  runLength_ = 0;
  return std::move(runs_);
}

void MarkerRunWatch::Feed(const uint8_t* data, size_t size) {
  const uint8_t byte = uint8_t(PayloadMarker[0]);
  const size_t minimum = std::strlen(PayloadMarker);
  const uint8_t* p = data;
  const uint8_t* end = data + size;
  while (!seen_ && p < end) {
    if (run_ == 0) {
      const void* next = std::memchr(p, byte, size_t(end - p));
      if (!next) return;
      p = static_cast<const uint8_t*>(next);
    }
    while (p < end && *p == byte) {
      ++p;
      ++run_;
    }
    if (run_ >= minimum) seen_ = true;
    if (p < end) run_ = 0;
  }
}

bool FindMarkerByteRuns(const ByteSource& source, std::vector<std::pair<size_t, size_t>>* runs) {
  MarkerByteRunScan scan;
  const bool read = ReadInPieces(source, 0, source.Size(), [&](const uint8_t* data, size_t n) {
    scan.Feed(data, n);
    return true;
  });
  *runs = scan.Finish();
  return read;
}

std::vector<MarkerRun> PlaceMarkerByteRuns(const uint8_t* data, size_t size, const std::vector<Field>& fields) {
  return PlaceMarkerByteRuns(FindMarkerByteRuns(data, size), fields);
}

std::vector<MarkerRun> PlaceMarkerByteRuns(const std::vector<std::pair<size_t, size_t>>& runs,
                                           const std::vector<Field>& fields) {
  std::vector<MarkerRun> placed;
  if (runs.empty()) return placed;
  // Only the fields a run touches are placed: an archive of many entries has millions.
  std::vector<const Field*> sorted;
  for (const Field& f : fields) {
    const auto run = std::upper_bound(runs.begin(), runs.end(), f.offset, [](size_t offset, const auto& r) {
      return offset < r.first + r.second;
    });
    if (run != runs.end() && run->first < f.offset + f.length) sorted.push_back(&f);
  }
  std::stable_sort(sorted.begin(), sorted.end(), [](const Field* a, const Field* b) { return a->offset < b->offset; });
  // reach[i]: the furthest end among fields 0..i, so that the first field a run can
  // touch is found by binary search even where fields overlap.
  std::vector<size_t> reach;
  for (const Field* f : sorted) reach.push_back(std::max(reach.empty() ? 0 : reach.back(), f->offset + f->length));
  for (const auto& run : runs) {
    MarkerRun r{run.first, run.second, {}};
    size_t covered = r.offset;  // the bytes before this one are accounted for
    for (size_t i = size_t(std::upper_bound(reach.begin(), reach.end(), r.offset) - reach.begin());
         i < sorted.size() && sorted[i]->offset < r.offset + r.length; ++i) {
      const Field& f = *sorted[i];
      if (f.offset + f.length <= r.offset) continue;
      if (f.offset > covered) r.fields.push_back({covered, f.offset - covered, -1, "bytes that belong to no entry", false});
      r.fields.push_back(f);
      covered = std::max(covered, f.offset + f.length);
    }
    if (covered < r.offset + r.length)
      r.fields.push_back({covered, r.offset + r.length - covered, -1, "bytes that belong to no entry", false});
    placed.push_back(std::move(r));
  }
  return placed;
}

std::string DescribeRun(const MarkerRun& run, const std::vector<EntryInfo>& entries) {
  std::string where;
  int lastEntry = -2;
  for (const Field& f : run.fields) {
    if (f.entry != lastEntry) {
      if (!where.empty()) where += "; ";
      if (f.entry >= 0 && size_t(f.entry) < entries.size()) {
        const EntryInfo& e = entries[size_t(f.entry)];
        where += "entry " + QuotedName(e.name, e.flags) + ": ";
      }
      lastEntry = f.entry;
    } else {
      where += ", ";
    }
    where += f.what;
  }
  return where;
}

}  // namespace mksetup
