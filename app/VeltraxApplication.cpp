#include "app/VeltraxApplication.h"

#include <exception>

#include "app/AppMessage.h"

bool TVeltraxApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& e) {
    ShowAppMessage(QString::fromUtf8(e.what()), amError);
  } catch (...) {
    ShowAppMessage(QStringLiteral("Unknown error"), amError);
  }
  return false;
}
