// Every message shown to the user is looked up in the string table with its English text
// as key: the English text itself unless a translation provides another.
#pragma once

#include <libintl.h>

#define _(englishText) ::gettext(englishText)
/// Marks a text for the catalogue where it is defined; _() translates it where it is shown.
#define N_(englishText) englishText
