#include "app/KoreanTranslation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

bool InstallKoreanTranslation() {
  static QTranslator* translator = nullptr;
  if (translator) return true;
  auto* t = new QTranslator(QCoreApplication::instance());
  if (!t->load(QLocale(QLocale::Korean, QLocale::SouthKorea), "qtbase", "_",
               QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete t;
    return false;
  }
  QCoreApplication::installTranslator(t);
  translator = t;
  return true;
}
