#include "Shell/Launch/Catalogue.h"

#include "Shell/Launch/Resources.h"
#include "Shell/Localization.h"

#include <clocale>

#ifndef VYR_LOCALE_DIR
#define VYR_LOCALE_DIR "/usr/share/locale"
#endif

void initLocalization() {
    std::setlocale(LC_ALL, "");
    // The build tree's catalogues when run from it, as its data; the installed ones otherwise.
    const std::string beside = findBesideProgram("locale");
    bindtextdomain("vyr-updater", beside.empty() ? VYR_LOCALE_DIR : beside.c_str());
    bind_textdomain_codeset("vyr-updater", "UTF-8");
    textdomain("vyr-updater");
}
