// The one routine that shows a message: a modal box captioned with the
// application title.
#pragma once

#include <QString>
#include <functional>

enum TAppMessageKind {
  amInformation = 0,    // OK
  amWarning = 1,        // OK
  amError = 2,          // OK
  amQuestion = 3,       // Yes / No
  amQuestionCancel = 4  // Yes / No / Cancel
};

// Returns the button pressed (QMessageBox::StandardButton), or -1 for an
// unknown kind.
int ShowAppMessage(const QString& text, int kind);

// Replaces the message box (tests record the messages instead of showing
// them); an empty function restores the box.
void SetAppMessageHook(std::function<int(const QString& text, int kind)> hook);
