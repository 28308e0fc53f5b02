// The file types both programs read and write, told by the extension of the
// lower-case name (a dot inside a folder name is no extension).
#pragma once

#include <string>

bool IsTiffFile(const std::string& fileName);   // .tif, .tiff
bool IsPdfFile(const std::string& fileName);    // .pdf
bool IsJpegFile(const std::string& fileName);   // .jpg, .jpeg
bool IsImageFile(const std::string& fileName);  // any of the above
