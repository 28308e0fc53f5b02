#include "batch/PageFiles.h"

#include <algorithm>
#include <stdexcept>

#include "image/GraphicRegistry.h"
#include "image/JpegGraphic.h"
#include "image/PdfGraphic.h"
#include "image/Stream.h"
#include "image/TiffGraphic.h"

namespace {

// The save compression for a page: F = 10 keeps the page's own, 50 is JPEG
// for pages that are not bilevel (bilevel pages keep their own), the others
// are fixed.
TTiffCompression SaveCompression(int f, const TDibGraphic& page, TTiffCompression own) {
  switch (f) {
    case 20:
      return tcCCITT3_2D;
    case 30:
      return tcCCITT4;
    case 40:
      return tcZLib;
    case 50:
      return page.ImageFormat() == ifBlackWhite ? own : tcJPEG;
    case 60:
      return tcPackbits;
    case 70:
      return tcLZW;
    default:
      return own;
  }
}

// The TIFF reader's messages name only the step that failed; the library's
// own diagnosis says why, so the operator learns what is wrong with the file.
[[noreturn]] void RethrowWithReason(const TDibGraphic& graphic, const std::exception& e) {
  const auto* tiff = dynamic_cast<const TTiffGraphic*>(&graphic);
  if (tiff && !tiff->LastLibraryError().empty())
    throw std::runtime_error(std::string(e.what()) + " (" + tiff->LastLibraryError() + ")");
  throw std::runtime_error(e.what());
}

TTiffGraphic* SetSaveCompression(TCorrectedPage& item, const TSettingsRecord& settings) {
  auto* tiff = dynamic_cast<TTiffGraphic*>(item.Page.get());
  if (!tiff) throw std::runtime_error("internal error: a TIFF page is not a TIFF graphic");
  const TTiffCompression own =
      item.SourceCompression >= 0 ? static_cast<TTiffCompression>(item.SourceCompression) : tiff->Compression();
  tiff->SetCompression(SaveCompression(settings.F, *tiff, own));
  return tiff;
}

}  // namespace

void PreparePageForWriting(TCorrectedPage& item, const std::string& typeName, const TSettingsRecord& settings) {
  if (!IsTiffFile(QString::fromStdString(typeName)) || !item.Page || item.Page->Empty()) return;
  SetSaveCompression(item, settings)->CodeStripsAhead();
}

int CountPages(const std::string& fileName) {
  auto graphic = CreateGraphicForFile(fileName);
  TFileStream stream(fileName, TFileMode::fmOpenRead);
  try {
    return graphic->GetImageCount(stream);
  } catch (const std::exception& e) {
    RethrowWithReason(*graphic, e);
  }
}

TCorrectedPage LoadPage(const std::string& fileName, int index) {
  TCorrectedPage result;
  result.Page = CreateGraphicForFile(fileName);
  result.Page->ImageToLoad = index + 1;
  try {
    result.Page->LoadFromFile(fileName);
  } catch (const std::exception& e) {
    RethrowWithReason(*result.Page, e);
  }
  if (auto* tiff = dynamic_cast<TTiffGraphic*>(result.Page.get()))
    result.SourceCompression = static_cast<int>(tiff->Compression());
  return result;
}

bool CanWriteFileType(const std::string& fileName, std::string* reason) {
  const QString name = QString::fromStdString(fileName);
  if (IsImageFile(name)) return true;
  if (reason) *reason = "not a TIFF, PDF or JPEG file";
  return false;
}

void WritePages(const std::string& fileName, const std::string& typeName, int pageCount,
                const TSettingsRecord& settings, const std::function<TCorrectedPage&(int)>& getPage) {
  const QString type = QString::fromStdString(typeName);
  if (pageCount < 1) throw std::runtime_error("the file has no pages");
  std::string reason;
  if (!CanWriteFileType(typeName, &reason)) throw std::runtime_error(reason);
  if (IsTiffFile(type)) {
    for (int i = 0; i < pageCount; ++i) {
      TTiffGraphic* tiff = SetSaveCompression(getPage(i), settings);
      if (i == 0)
        tiff->SaveToFile(fileName);
      else
        tiff->AppendToFile(fileName);
    }
    return;
  }
  if (IsJpegFile(type)) {
    TCorrectedPage& item = getPage(0);
    auto* jpeg = dynamic_cast<TJpegGraphic*>(item.Page.get());
    if (!jpeg) throw std::runtime_error("internal error: a JPEG page is not a JPEG graphic");
    jpeg->JpegQuality = static_cast<std::uint8_t>(std::clamp(settings.jQ, 1, 100));
    jpeg->SaveToFile(fileName);
    return;
  }
  if (IsPdfFile(type)) {
    TPdfGraphic writer;
    TDibGraphic work;
    writer.SavePagesToPdfFile(work, fileName, pageCount, [&](int i) -> TDibGraphic* { return getPage(i).Page.get(); });
    return;
  }
  throw std::runtime_error("this file type cannot be written");
}
