// TExif: the EXIF block (APP1 "Exif") of a JPEG file.
//
// The block is read into memory once and every value is fetched with a
// bounds check against it: a damaged or cut-off file gives fewer fields,
// never a read outside the data. A file without EXIF is not an error:
// ExifPresent stays false and the resolutions 0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "image/Stream.h"

class TExif {
 public:
  // Reads the EXIF data of a JPEG file; does nothing when the file does not
  // exist.
  void ReadFromFile(const std::string& fileName);
  // Reads from the start of a JPEG file held in a stream.
  void ReadFromStream(TStream& stream);
  // Reads from a whole JPEG file in memory.
  void ReadFromBuffer(const std::uint8_t* data, std::size_t size);
  // Back to "no EXIF".
  void Clear();

  bool ExifPresent = false;

  std::string ImageDescription;
  std::string Make;
  std::string Model;
  std::string Software;
  std::string DateTime;
  std::string Artist;
  std::string Copyright;  // tag 33432
  std::string DateTimeOriginal;
  std::string DateTimeDigitized;
  std::string ExposureTime;  // "1/125 seconds"
  std::string Aperture;      // "F2.8"
  std::string ExposureBias;  // "+0.3"
  std::string FocalLength;   // "7.9 mm"
  std::string UserComment;
  std::string ExifVersion;
  int IsoSpeed = 0;

  int Orientation = 0;
  std::string OrientationText;
  int LightSource = -1;
  std::string LightSourceText;
  int Flash = -1;
  std::string FlashText;

  // Whole numbers as stored (numerator / denominator, truncated).
  int XResolution = 0;
  int YResolution = 0;

  static const char* OrientationName(int value);
  static const char* LightSourceName(int value);
  static const char* FlashName(int value);

 private:
  void ParseTiff(const std::uint8_t* data, std::size_t size);
};
