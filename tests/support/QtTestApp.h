// A QCoreApplication for the tests that need one (local sockets, processes).
#pragma once

#include <QCoreApplication>

inline QCoreApplication& TestQtApp() {
  static int argc = 1;
  static char name[] = "veltrax_batch_tests";
  static char* argv[] = {name, nullptr};
  static QCoreApplication* app =
      QCoreApplication::instance() ? nullptr : new QCoreApplication(argc, argv);  // lives to process end
  return app ? *app : *QCoreApplication::instance();
}
