#include "app/ViewTransMessage.h"

#include <QCoreApplication>

void PostViewTransMessage(QObject* receiver, int wParam, long long lParam) {
  QCoreApplication::postEvent(receiver, new TViewTransMessage(wParam, lParam));
}
