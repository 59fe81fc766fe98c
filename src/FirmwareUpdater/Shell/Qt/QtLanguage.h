// Qt's own texts (the standard buttons) in the user's language, but only when the program's
// own catalogue is in use too: a window is in one language, never half in another.
#pragma once

#include <QTranslator>

/// Loads Qt's translation for the locale into ioTranslator and installs it when the
/// program's messages are translated; false otherwise (English throughout).
bool installQtLanguage(QTranslator& ioTranslator);
