#include "payload/setup_image.h"

#include "platform/env.h"

SetupImage LocateSetupImage() {
  SetupImage image;
  image.path = Env().ModulePath();
  if (!image.path.empty()) image.shown = CStringW(image.path).ToAnsi();
  return image;
}
