#pragma once

// Loads Qt's own Korean texts (standard buttons of message boxes and
// dialogs); false when the translation is not installed.
bool InstallKoreanTranslation();
