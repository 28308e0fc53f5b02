// File-format registry: extension (upper case, no dot) -> graphic class.
#pragma once

#include <memory>
#include <string>

#include "image/DibGraphic.h"

struct TGraphicClass {
  const char* Name;  // "TTiffGraphic"
  std::unique_ptr<TDibGraphic> (*Create)();
};

void RegisterFileFormat(const std::string& extension, const std::string& description,
                        const TGraphicClass* graphicClass);
// Accepts a file name (its extension is used) or a bare extension without
// a dot. Returns nullptr when nothing is registered.
const TGraphicClass* GraphicClassForExtension(const std::string& fileNameOrExtension);
// Throws "Graphic files of %s format are not supported or not registered"
// with the file's extension (with its dot).
std::unique_ptr<TDibGraphic> CreateGraphicForFile(const std::string& fileName);
// Description of a registered extension ("TIFF file"), empty when unknown.
std::string FileFormatDescription(const std::string& extension);

// Registers the program's formats; called once, also implicitly by the
// lookups above.
void RegisterStandardFormats();
