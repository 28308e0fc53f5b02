#include "pagework/PageWriter.h"

#include <algorithm>
#include <optional>
#include <stdexcept>

#include "image/GraphicRegistry.h"
#include "image/JpegGraphic.h"
#include "image/PdfGraphic.h"
#include "image/Stream.h"
#include "pagework/FileTypes.h"
#include "pagework/SafeWrite.h"

namespace {

// The TIFF reader's messages name only the step that failed; the library's
// own diagnosis says why, so the operator learns what is wrong with the file.
[[noreturn]] void RethrowWithReason(const TDibGraphic& graphic, const std::exception& e) {
  const auto* tiff = dynamic_cast<const TTiffGraphic*>(&graphic);
  if (tiff && !tiff->LastLibraryError().empty())
    throw std::runtime_error(std::string(e.what()) + " (" + tiff->LastLibraryError() + ")");
  throw std::runtime_error(e.what());
}

int OwnCompression(const TDibGraphic& page) {
  if (const auto* tiff = dynamic_cast<const TTiffGraphic*>(&page)) return static_cast<int>(tiff->Compression());
  return -1;
}

// Sets the save compression on a TIFF page about to be written; `page` is
// the page as handed in (the copy may have lost its own compression).
void ApplyCompression(TTiffGraphic& tiff, const TDibGraphic& page, int sourceCompression, int choice,
                      bool keepOwnWhenRefused) {
  const int pageOwn = OwnCompression(page);
  const TTiffCompression own =
      static_cast<TTiffCompression>(pageOwn >= 0             ? pageOwn
                                    : sourceCompression >= 0 ? sourceCompression
                                                             : static_cast<int>(tiff.Compression()));
  const TTiffCompression source = sourceCompression >= 0 ? static_cast<TTiffCompression>(sourceCompression) : own;
  const TTiffCompression chosen = CompressionForChoice(choice, tiff.ImageFormat(), own, source);
  if (keepOwnWhenRefused && !TiffCompressionAllowed(chosen, tiff.ImageFormat())) {
    if (TiffCompressionAllowed(own, tiff.ImageFormat())) tiff.SetCompression(own);
    return;
  }
  tiff.SetCompression(chosen);
}

// The graphic written for a page: an owned page of the target's class as it
// is, anything else copied into `instance`.
TDibGraphic& Writable(TOutputPage& page, TDibGraphic& instance) {
  const TDibGraphic* source = page.Page();
  if (!source) throw std::runtime_error("internal error: no page to write");
  if (page.Owned && std::string(page.Owned->ClassName()) == instance.ClassName()) return *page.Owned;
  instance.Assign(*source);
  return instance;
}

}  // namespace

TTiffCompression CompressionForChoice(int f, TImageFormat format, TTiffCompression own, TTiffCompression source) {
  switch (f) {
    case 20:
      return tcCCITT3_2D;
    case 30:
      return tcCCITT4;
    case 40:
      return tcZLib;
    case 50:
      return format == ifBlackWhite ? own : tcJPEG;
    case 60:
      return tcPackbits;
    case 70:
      return tcLZW;
    default:
      return source;
  }
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

TOutputPage LoadPage(const std::string& fileName, int index) {
  TOutputPage result;
  result.Owned = CreateGraphicForFile(fileName);
  result.Owned->ImageToLoad = index + 1;
  try {
    result.Owned->LoadFromFile(fileName);
  } catch (const std::exception& e) {
    RethrowWithReason(*result.Owned, e);
  }
  result.SourceCompression = OwnCompression(*result.Owned);
  return result;
}

bool CodedPageFits(const TOutputPage& page, const std::string& typeName, const TSaveOptions& options) {
  if (!page.Coded) return false;
  const TCodedPage& coded = *page.Coded;
  if (IsPdfFile(typeName)) return TPdfGraphic::CodedPageFitsPdf(coded);
  if (!IsTiffFile(typeName) || coded.Kind != TCodedPage::Group4 || coded.BlackIs1) return false;
  const TTiffCompression source =
      page.SourceCompression >= 0 ? static_cast<TTiffCompression>(page.SourceCompression) : tcCCITT4;
  return CompressionForChoice(options.Compression, ifBlackWhite, tcCCITT4, source) == tcCCITT4;
}

bool CanWriteFileType(const std::string& fileName, std::string* reason) {
  if (IsImageFile(fileName)) return true;
  if (reason) *reason = "not a TIFF, PDF or JPEG file";
  return false;
}

void PreparePageForWriting(TOutputPage& page, const std::string& typeName, const TSaveOptions& options) {
  if (!IsTiffFile(typeName) || !page.Owned || page.Owned->Empty()) return;
  auto* tiff = dynamic_cast<TTiffGraphic*>(page.Owned.get());
  if (!tiff) return;
  // A refusal is left to the writer, which knows whether the file has one page.
  ApplyCompression(*tiff, *tiff, page.SourceCompression, options.Compression, true);
  tiff->CodeStripsAhead();
}

void WritePagesTo(const std::string& path, const std::string& typeName, int pageCount, const TSaveOptions& options,
                  const TGetOutputPage& getPage, const TBeforeWritePage& beforeWrite) {
  if (pageCount < 1) throw std::runtime_error("the file has no pages");
  if (IsPdfFile(typeName)) {
    TPdfGraphic writer;
    TDibGraphic copy;
    writer.SavePagesToPdfFile(path, pageCount, [&](int i) {
      TOutputPage& page = getPage(i);
      if (!beforeWrite && CodedPageFits(page, typeName, options)) return TPdfGraphic::TPageInput{nullptr, page.Coded};
      if (!page.Page()) throw std::runtime_error("internal error: no page to write");
      // The writer only reads the page it is handed.
      if (!beforeWrite) return TPdfGraphic::TPageInput{page.Page(), nullptr};
      TDibGraphic& out = page.Owned ? *page.Owned : (copy.Assign(*page.Page()), copy);
      beforeWrite(out, i);
      return TPdfGraphic::TPageInput{&out, nullptr};
    });
    return;
  }
  // Looked up before the file is created, so an unknown extension leaves
  // nothing behind.
  std::unique_ptr<TDibGraphic> instance = CreateGraphicForFile(typeName);
  // TIFF pages go through one opening of the file.
  std::optional<TFileStream> file;
  std::optional<TTiffPageWriter> tiffPages;
  const auto tiffWriter = [&]() -> TTiffPageWriter& {
    if (!tiffPages) {
      file.emplace(path, TFileMode::fmCreate);
      tiffPages.emplace(*file);
    }
    return *tiffPages;
  };
  for (int i = 0; i < pageCount; ++i) {
    TOutputPage& page = getPage(i);
    if (!beforeWrite && CodedPageFits(page, typeName, options)) {
      // Only TIFF files take coded pages.
      tiffWriter().Write(static_cast<TTiffGraphic&>(*instance), page.Coded);
      continue;
    }
    TDibGraphic& out = Writable(page, *instance);
    if (auto* tiff = dynamic_cast<TTiffGraphic*>(&out))
      ApplyCompression(*tiff, *page.Page(), page.SourceCompression, options.Compression, pageCount > 1);
    if (auto* jpeg = dynamic_cast<TJpegGraphic*>(&out); jpeg && options.JpegQuality > 0)
      jpeg->JpegQuality = static_cast<std::uint8_t>(std::clamp(options.JpegQuality, 1, 100));
    if (beforeWrite) beforeWrite(out, i);
    if (auto* tiff = dynamic_cast<TTiffGraphic*>(&out)) {
      try {
        tiffWriter().Write(*tiff);
      } catch (const std::exception& e) {
        RethrowWithReason(*tiff, e);
      }
    } else if (i == 0) {
      TFileStream stream(path, TFileMode::fmCreate);
      out.SaveToStream(stream);
    } else {
      out.AppendToFile(path);
    }
  }
  if (tiffPages) tiffPages->Finish();
}

void WritePages(const std::string& target, int pageCount, const TSaveOptions& options, const TGetOutputPage& getPage,
                const TBeforeWritePage& beforeWrite) {
  SafeWriteFile(target,
                [&](const std::string& temp) { WritePagesTo(temp, target, pageCount, options, getPage, beforeWrite); });
}

void WriteImageFile(const std::string& target, const TDibGraphic& image, const TSaveOptions& options,
                    int sourceCompression, const TBeforeWritePage& beforeWrite) {
  const int frames = image.FrameCount();
  TOutputPage page;
  WritePages(
      target, std::max(frames, 1), options,
      [&](int i) -> TOutputPage& {
        const TDibGraphic& shown = frames >= 1 ? image.Frame(i + 1) : image;
        page.Borrowed = &shown;
        page.SourceCompression = frames >= 1 ? -1 : sourceCompression;
        return page;
      },
      beforeWrite);
}
