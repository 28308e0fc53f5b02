// Toolbar icons, drawn by the program itself so they stay crisp at any
// screen scale and need no image files.
#pragma once

#include <QIcon>

#include "app/ViewTransCommands.h"

QIcon CommandIcon(TCommand command);
