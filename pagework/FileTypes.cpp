#include "pagework/FileTypes.h"

#include <cctype>

namespace {

std::string LowerSuffix(const std::string& fileName) {
  const auto slash = fileName.find_last_of("/\\");
  const auto dot = fileName.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return std::string();
  std::string suffix = fileName.substr(dot);
  for (char& c : suffix) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return suffix;
}

}  // namespace

bool IsTiffFile(const std::string& fileName) {
  const std::string s = LowerSuffix(fileName);
  return s == ".tif" || s == ".tiff";
}

bool IsPdfFile(const std::string& fileName) { return LowerSuffix(fileName) == ".pdf"; }

bool IsJpegFile(const std::string& fileName) {
  const std::string s = LowerSuffix(fileName);
  return s == ".jpg" || s == ".jpeg";
}

bool IsImageFile(const std::string& fileName) {
  return IsTiffFile(fileName) || IsPdfFile(fileName) || IsJpegFile(fileName);
}
