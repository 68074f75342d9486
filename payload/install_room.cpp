#include "payload/install_room.h"

#include "archive/entry_names.h"
#include "archive/name_encoding.h"
#include "platform/env.h"

#include <algorithm>

namespace {

int64_t Clusters(uint64_t bytes) {
  return int64_t((bytes + CRoomCount::kCluster - 1) / CRoomCount::kCluster * CRoomCount::kCluster);
}

uint64_t FileSizeOf(const CStringW& path) {
  FileFacts facts;
  if (Env().LookUp(path.Str(), &facts) != kSysOk || (facts.attributes & kAttributeDirectory)) return 0;
  return facts.size;
}

}  // namespace

void CRoomCount::Add(uint64_t size, uint64_t replaced) {
  m_peak = std::max(m_peak, m_running + Clusters(size));
  m_running += Clusters(size) - Clusters(replaced);
}

uint64_t CRoomCount::Needed(uint64_t packFile, uint64_t oldPackFile) const {
  const int64_t needed = Clusters(packFile) - Clusters(oldPackFile) + m_peak + int64_t(kMargin);
  return uint64_t(std::max<int64_t>(needed, 0));
}

void CInstallRoom::Visit(void* context, const PayloadEntry& entry) {
  auto* self = static_cast<CInstallRoom*>(context);
  uint64_t replaced = 0;
  std::wstring name;
  // Only a file over an earlier version costs a look-up; into a new directory, none.
  if (self->m_exists &&
      EntryNameAsWide(entry.storedName, entry.flags, entry.versionMadeBy,
                      reinterpret_cast<const uint8_t*>(entry.extra.data()), entry.extra.size(), &name) &&
      !name.empty() && !EndsInSeparator(std::wstring_view(name)))
    replaced = FileSizeOf(InstallPathOf(self->m_directory.Str().c_str(), name));
  self->m_count.Add(entry.size, replaced);
}

uint64_t CInstallRoom::Needed(const PayloadLayout& layout, const CStringW& packFile) const {
  // The pack file is every byte behind the marker.
  return m_count.Needed(layout.fileSize - layout.archiveStart, m_exists ? FileSizeOf(packFile) : 0);
}

bool FreeRoomFor(const CStringW& directory, uint64_t* bytes) {
  std::wstring folder = directory.Str();
  for (;;) {
    if (Env().FreeSpace(folder, bytes) == kSysOk) return true;
    while (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/')) folder.pop_back();
    const size_t cut = folder.find_last_of(L"\\/");
    if (cut == std::wstring::npos) return false;
    // "c:\Galvery" goes up to "c:\", a drive's root, which the system measures with its separator.
    folder.resize(cut + 1);
  }
}

CString MegabytesOf(uint64_t bytes) {
  CString text;
  text.Format("%.1f MB", double(bytes) / (1024.0 * 1024.0));
  return text;
}
