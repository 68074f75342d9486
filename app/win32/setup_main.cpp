// The one application object of the setup program, constructed before the framework's
// entry point runs.
#include "app/win32/setup_app.h"

CSetupApp theApp;
