// The window's language. Its texts are written in Chinese, and shown as written where the
// system's language is Chinese (Qt's own dialogs then in Chinese too); elsewhere they show in
// English.
#pragma once

#include <QLocale>

#include <memory>
#include <vector>

class QTranslator;

class TTranslations {
 public:
  // Installs the translations for `locale` into the application, until destroyed.
  explicit TTranslations(const QLocale& locale);
  ~TTranslations();
  TTranslations(const TTranslations&) = delete;
  TTranslations& operator=(const TTranslations&) = delete;

 private:
  // Loads `name` from `folder` (a resource folder or Qt's) and installs it; false when missing.
  bool Install(const QLocale& locale, const QString& name, const QString& folder);

  std::vector<std::unique_ptr<QTranslator>> installed_;
};
