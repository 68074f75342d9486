// The one application object of the setup program, constructed before the framework's
// entry point runs.
#include "app/setup_app.h"

CSetupApp theApp;
