#include "app/translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

TTranslations::TTranslations(const QLocale& locale) {
  if (locale.language() == QLocale::Chinese) {
    // The window's own texts are Chinese already; Qt's dialogs (the folder chooser) follow.
    Install(locale, QStringLiteral("qtbase"), QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    return;
  }
  Install(QLocale(QLocale::English), QStringLiteral("flashgrab"), QStringLiteral(":/i18n"));
}

TTranslations::~TTranslations() {
  for (const auto& translator : installed_)
    QCoreApplication::removeTranslator(translator.get());
}

bool TTranslations::Install(const QLocale& locale, const QString& name, const QString& folder) {
  auto translator = std::make_unique<QTranslator>();
  if (!translator->load(locale, name, QStringLiteral("_"), folder)) return false;
  QCoreApplication::installTranslator(translator.get());
  installed_.push_back(std::move(translator));
  return true;
}
