// The one routine that shows a message: a modal box captioned with the
// application title.
#pragma once

#include <QString>

enum TAppMessageKind {
  amInformation = 0,  // OK
  amWarning = 1,      // OK
  amError = 2,        // OK
  amQuestion = 3,     // Yes / No
  amQuestionCancel = 4  // Yes / No / Cancel
};

// Returns the button pressed (QMessageBox::StandardButton), or -1 for an
// unknown kind.
int ShowAppMessage(const QString& text, int kind);
