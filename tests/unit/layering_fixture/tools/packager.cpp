// The packager may take the archive reader, the marker and the product table, but not
// the setup dialog.
#include "app/product_profiles.h"
#include "archive/archive_reader.h"
#include "payload/payload_marker.h"
#include "app/setup_dlg.h"
