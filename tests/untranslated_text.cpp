// Not built: a source with a text that has no translation, for the test that
// the translation check fails on it.
#include <QCoreApplication>

QString UntranslatedText() { return QCoreApplication::translate("Probe", "a text nobody has translated"); }
