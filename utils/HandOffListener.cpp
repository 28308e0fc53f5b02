#include "utils/HandOffListener.h"

bool ListenForHandOffMessages(QLocalServer& server, const QString& socketName) {
  server.setSocketOptions(QLocalServer::AbstractNamespaceOption);
  return server.listen(socketName);
}
