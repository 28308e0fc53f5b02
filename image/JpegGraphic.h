// TJpegGraphic: baseline and progressive JPEG (JFIF) files through libjpeg.
//
// libjpeg reports fatal errors through a callback that must not return; we
// leave it with longjmp, but only back into small guard functions that hold
// no C++ objects, and turn the failure into an EJpegError there. Warnings
// and trace messages are counted and dropped: nothing reaches the terminal.
//
// Reading decodes greyscale to ifGray256, RGB/YCbCr to ifTrueColor and
// CMYK/YCCK (Adobe-inverted, as stored by Adobe programs) to ifTrueColor.
// Writing accepts ifGray256 and ifTrueColor only.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

#include "image/DibGraphic.h"

class EJpegError : public std::runtime_error {
 public:
  explicit EJpegError(const std::string& message) : std::runtime_error(message) {}
};

class TJpegGraphic : public TDibGraphic {
 public:
  TJpegGraphic();
  ~TJpegGraphic() override;

  const char* ClassName() const override { return "TJpegGraphic"; }
  std::unique_ptr<TDibGraphic> NewInstance() const override;

  // Signature of a JFIF file: FF D8 FF E0, then "JFIF\0" at offset 6. The
  // stream position is restored.
  bool IsValidFormat(TStream& stream) override;
  // Decodes the JPEG data at the stream's position (imageNumber unused).
  void LoadImageFromStream(TStream& stream, int imageNumber) override;
  void SaveToStream(TStream& stream) override;

  // Whether JPEG data is of the kind every PDF reader decodes as this
  // reader does: 8-bit Huffman-coded (baseline, extended or progressive) of
  // one or three components. gray: it has one.
  static bool PlainJpegData(const std::uint8_t* data, std::size_t size, bool& gray);

  std::uint8_t JpegQuality = 80;
  bool Progressive = false;
  bool OptimizeCoding = false;

  // Number of libjpeg warnings of the last load or save (corrupt data that
  // the decoder worked around, a file cut short, ...).
  int LastWarningCount() const { return warnings_; }

 private:
  int warnings_ = 0;
};

// Registers "JPG" and "JPEG".
void RegisterJpegFormat();
