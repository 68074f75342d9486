#include "payload/file_queries.h"

#include "platform/env.h"

int FileExists(const CStringW& path) {
  FileFacts facts;
  return Env().LookUp(path.Str(), &facts) == kSysOk ? 1 : 0;
}

int DirectoryExists(const CStringW& path) {
  FileFacts facts;
  return Env().LookUp(path.Str(), &facts) == kSysOk && (facts.attributes & kAttributeDirectory) ? 1 : 0;
}

void DeleteIfExists(const CStringW& path) {
  if (FileExists(path)) Env().Remove(path.Str());
}

CStringW FullPathOf(const CStringW& path) {
  std::wstring full;
  return Env().FullPath(path.Str(), &full) == kSysOk ? CStringW(full) : path;
}
