// Binding the program's message catalogue ("vyr-updater"): the build tree's catalogues when
// run from it, the installed ones otherwise.
#pragma once

/// Sets the locale from the environment and binds the catalogue; call once at start.
void initLocalization();
