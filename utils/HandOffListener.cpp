#include "utils/HandOffListener.h"

bool ListenForHandOffMessages(QLocalServer& server, const QString& socketName) {
  // Only the owner may connect (the folder is private too). A socket file
  // left by a desktop that died is removed first; a live one cannot exist,
  // since the single-instance lock lets one desktop run per user.
  server.setSocketOptions(QLocalServer::UserAccessOption);
  if (server.listen(socketName)) return true;
  if (server.serverError() != QAbstractSocket::AddressInUseError) return false;
  QLocalServer::removeServer(socketName);
  return server.listen(socketName);
}
