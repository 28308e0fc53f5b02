#include "image/GraphicRegistry.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <mutex>

// Each format file registers its own extensions.
void RegisterTiffFormat();
void RegisterJpegFormat();
void RegisterPdfFormat();
void RegisterPpmFormat();

namespace {

struct Entry {
  std::string Description;
  const TGraphicClass* Class;
};

std::map<std::string, Entry>& Registry() {
  static std::map<std::string, Entry> registry;
  return registry;
}

std::string Upper(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::toupper(c); });
  return s;
}

// ".tif" of "a/b.tif"; empty when the name has no extension.
std::string ExtensionWithDot(const std::string& fileName) {
  const auto slash = fileName.find_last_of('/');
  const auto dot = fileName.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  return fileName.substr(dot);
}

std::string Key(const std::string& fileNameOrExtension) {
  if (fileNameOrExtension.find('.') == std::string::npos) return Upper(fileNameOrExtension);
  std::string ext = ExtensionWithDot(fileNameOrExtension);
  return ext.empty() ? std::string{} : Upper(ext.substr(1));
}

std::once_flag standardOnce;

}  // namespace

void RegisterStandardFormats() {
  std::call_once(standardOnce, [] {
    RegisterTiffFormat();
    RegisterJpegFormat();
    RegisterPdfFormat();
    RegisterPpmFormat();
  });
}

void RegisterFileFormat(const std::string& extension, const std::string& description,
                        const TGraphicClass* graphicClass) {
  std::string key = Upper(extension);
  if (!key.empty() && key[0] == '.') key.erase(0, 1);
  Registry()[key] = Entry{description, graphicClass};
}

const TGraphicClass* GraphicClassForExtension(const std::string& fileNameOrExtension) {
  RegisterStandardFormats();
  auto it = Registry().find(Key(fileNameOrExtension));
  return it == Registry().end() ? nullptr : it->second.Class;
}

std::unique_ptr<TDibGraphic> CreateGraphicForFile(const std::string& fileName) {
  const TGraphicClass* cls = GraphicClassForExtension(fileName);
  if (!cls)
    throw EImagingError(FormatMessage("Graphic files of %s format are not supported or not registered",
                                      ExtensionWithDot(fileName).c_str()));
  return cls->Create();
}

std::string FileFormatDescription(const std::string& extension) {
  RegisterStandardFormats();
  auto it = Registry().find(Key(extension));
  return it == Registry().end() ? std::string{} : it->second.Description;
}
