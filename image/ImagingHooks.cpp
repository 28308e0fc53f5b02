#include "image/ImagingHooks.h"

#include <sys/stat.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>

#include "image/ImagingErrors.h"

TImagingHooks& ImagingHooks() {
  static TImagingHooks hooks;
  return hooks;
}

namespace {
std::atomic<int> busyDepth{0};
}

void BeginBusyCursor() {
  if (busyDepth.fetch_add(1) == 0 && ImagingHooks().BusyCursorOn) ImagingHooks().BusyCursorOn();
}

void EndBusyCursor() {
  int before = busyDepth.load();
  while (before > 0 && !busyDepth.compare_exchange_weak(before, before - 1)) {
  }
  if (before == 1 && ImagingHooks().BusyCursorOff) ImagingHooks().BusyCursorOff();
}

int BusyCursorDepth() { return busyDepth.load(); }

std::string TempFolderPath() {
  std::string folder = ImagingHooks().TempFolder;
  if (folder.empty()) {
    std::error_code ec;
    folder = std::filesystem::temp_directory_path(ec).string();
    if (ec || folder.empty()) throw std::runtime_error("ImgMisc.CreateTempFile.GetTempPath failed");
  }
  if (folder.back() != '/') folder += '/';
  return folder;
}

std::string CreateTempFile(const std::string& prefix, const std::string& extension) {
  const std::string folder = TempFolderPath();
  const std::string ext = (!extension.empty() && extension[0] == '.') ? extension : "." + extension;
  for (int counter = 0;; ++counter) {
    std::string name = folder + prefix + std::to_string(counter) + ext;
    struct stat st {};
    if (::stat(name.c_str(), &st) != 0) return name;
  }
}
