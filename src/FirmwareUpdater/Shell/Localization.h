// _() and N_() for the messages of the program's catalogue ("vyr-updater"), which the
// launch binds (Shell/Launch/Catalogue.h).
#pragma once

#include "Common/Gettext.h"
