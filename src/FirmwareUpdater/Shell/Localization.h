// The program's message catalogue ("vyr-updater"), and _() for looking messages up in it.
#pragma once

#include "Common/Gettext.h"

/// Binds the program's message catalogue; call once at start.
void initLocalization();
