// The operator's language. English is the language of the code; a Chinese
// system locale gets the Chinese translation of every text we add, and Qt's own
// translation of its texts (OK and Cancel, the file dialog, the context menus).
// The captions, titles and prompts of the window itself are Chinese in every locale.
#pragma once

#include <QLocale>
#include <string>

namespace varnak {

// Whether the operator of `locale` reads Chinese (any zh locale).
bool WantsChinese(const QLocale& locale);

// Installs our translator and Qt's for `locale` (the window passes
// QLocale::system()); nothing for English. Needs the QCoreApplication; the
// translators live as long as it. Returns whether ours was installed.
bool InstallTranslators(const QLocale& locale);

// A text key of the Qt-free libraries (see link/words.h) in the operator's
// language, UTF-8: what the window passes as their Translate.
std::string Translated(const char* context, const char* key);

}  // namespace varnak
