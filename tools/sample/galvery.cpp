// The sample product: a small Windows program that shows that it runs. The main job
// packs it into a sample setup file, SetupGalvery.exe, and installs it.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  char path[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  char text[MAX_PATH + 64];
  wsprintfA(text, "Galvery is installed and running from\n%s", path);
  MessageBoxA(nullptr, text, "Galvery", MB_OK | MB_ICONINFORMATION);
  return 0;
}
