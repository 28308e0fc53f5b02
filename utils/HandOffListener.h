// The desktop's end of the hand-off message (see HandOff.h).
#pragma once

#include <QLocalServer>
#include <QString>

#include "utils/HandOff.h"

// Listens on the hand-off socket file in the runtime folder. Read each
// connection to its end and give the bytes to ParseHandOffMessage.
bool ListenForHandOffMessages(QLocalServer& server, const QString& socketName = HandOffSocketName());
