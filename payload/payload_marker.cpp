#include "payload/payload_marker.h"

const char PayloadMarker[] = "UUUUUUUU";
