#include "translate.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace varnak {

namespace {

bool Install(const QString& name, const QString& folder) {
  auto* translator = new QTranslator(QCoreApplication::instance());
  if (translator->load(name, folder) && QCoreApplication::installTranslator(translator)) return true;
  delete translator;
  return false;
}

}  // namespace

bool WantsChinese(const QLocale& locale) { return locale.language() == QLocale::Chinese; }

bool InstallTranslators(const QLocale& locale) {
  if (!WantsChinese(locale)) return false;
  // Qt's own, from the system's Qt translations; missing ones leave Qt's texts English.
  const QString qtFolder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
  for (const char* catalogue : {"qtbase_zh_CN", "qtserialport_zh_CN"})
    Install(QString::fromLatin1(catalogue), qtFolder);
  return Install(QStringLiteral("varnak_zh_CN"), QStringLiteral(":/i18n"));
}

std::string Translated(const char* context, const char* key) {
  return QCoreApplication::translate(context, key).toStdString();
}

}  // namespace varnak
