// _() and N_() for the messages of the program's catalogue ("vyr-updater"), which the
// launch binds (Shell/Launch/Catalogue.h).
#pragma once

#include "Common/Gettext.h"

#include <string>

/// A button as people read it: the workflow names its buttons by their English titles
/// (marked N_() where they are written), and a window may show its toolkit's own instead.
inline std::string buttonTitle(const std::string& inButton) {
    return _(inButton.c_str());
}
