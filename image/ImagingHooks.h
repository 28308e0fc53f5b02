// What the imaging layer needs from its surroundings: filled by the desktop
// program at start, left at the headless defaults in tests and the batch
// program.
#pragma once

#include <functional>
#include <memory>
#include <string>

class TTextRenderer;

struct TImagingHooks {
  int ScreenDpiX = 96;
  int ScreenDpiY = 96;
  std::function<void()> BusyCursorOn;   // show the hourglass
  std::function<void()> BusyCursorOff;  // restore the normal cursor
  std::shared_ptr<TTextRenderer> TextRenderer;
  std::string TempFolder;  // empty: the system's temporary folder
};

TImagingHooks& ImagingHooks();

// Nesting busy cursor: the first begin shows it, the end that brings the
// count back to zero hides it.
void BeginBusyCursor();
void EndBusyCursor();
int BusyCursorDepth();

// RAII form of the busy cursor.
class TBusyCursor {
 public:
  TBusyCursor() { BeginBusyCursor(); }
  ~TBusyCursor() { EndBusyCursor(); }
  TBusyCursor(const TBusyCursor&) = delete;
  TBusyCursor& operator=(const TBusyCursor&) = delete;
};

// The temporary folder with a trailing separator.
std::string TempFolderPath();
// TempFolder + prefix + counter (from 0) + "." + extension, the first name
// that does not exist.
std::string CreateTempFile(const std::string& prefix, const std::string& extension);
