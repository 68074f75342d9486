// The agreement dialog may use the resource ids and the layers below it, but not the
// setup dialog above it.
#include "res/resource.h"
#include "payload/unpack_archive.h"
#include "app/setup_dlg.h"
