#include "payload/setup_image.h"

#include "platform/win32_api.h"

SetupImage LocateSetupImage() {
  SetupImage image;
  // A path longer than MAX_PATH exists where long paths are enabled: grow until it fits.
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = ::GetModuleFileNameW(nullptr, &path[0], DWORD(path.size()));
    if (n == 0) return image;
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    path.resize(path.size() * 2);
  }
  image.path = path;
  image.shown = CStringW(path).ToAnsi();
  return image;
}
