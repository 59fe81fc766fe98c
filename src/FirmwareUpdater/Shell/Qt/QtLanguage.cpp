#include "QtLanguage.h"

#include "Shell/Localization.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>

#include <cstring>

bool installQtLanguage(QTranslator& ioTranslator) {
    if (std::strcmp(_("Waiting..."), "Waiting...") == 0 ||
        !ioTranslator.load(QLocale(), "qtbase", "_",
                           QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        return false;
    }
    return QApplication::installTranslator(&ioTranslator);
}
