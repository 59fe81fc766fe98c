#include "Localization.h"

#include <clocale>

#ifndef VYR_LOCALE_DIR
#define VYR_LOCALE_DIR "/usr/share/locale"
#endif

void initLocalization() {
    std::setlocale(LC_ALL, "");
    bindtextdomain("vyr-updater", VYR_LOCALE_DIR);
    bind_textdomain_codeset("vyr-updater", "UTF-8");
    textdomain("vyr-updater");
}
