#include "tools/work/PageSource.h"

#include <filesystem>
#include <optional>

#include "image/GraphicRegistry.h"
#include "image/JpegGraphic.h"
#include "image/PdfGraphic.h"
#include "image/TiffGraphic.h"
#include "pagework/SafeWrite.h"
#include "tools/work/DocumentFiles.h"

namespace {

std::string WithLibraryReason(const TDibGraphic& graphic, const std::string& message) {
  const auto* tiff = dynamic_cast<const TTiffGraphic*>(&graphic);
  if (tiff && !tiff->LastLibraryError().empty()) return message + " (" + tiff->LastLibraryError() + ")";
  return message;
}

}  // namespace

TPageSource::TPageSource(const std::string& fileName) : fileName_(fileName) {
  try {
    graphic_ = CreateGraphicForFile(fileName);
    stream_ = std::make_unique<TFileStream>(fileName, TFileMode::fmOpenRead);
    count_ = graphic_->GetImageCount(*stream_);
  } catch (const EToolFileError&) {
    throw;
  } catch (const std::exception& e) {
    throw EToolFileError(fileName, graphic_ ? WithLibraryReason(*graphic_, e.what()) : e.what());
  }
  if (count_ < 1)
    throw EToolFileError(fileName, graphic_ ? WithLibraryReason(*graphic_, "no page can be read from the file")
                                            : "no page can be read from the file");
}

TOutputPage& TPageSource::Load(int index) {
  try {
    graphic_->Clear();
    stream_->SetPosition(0);
    graphic_->LoadImageFromStream(*stream_, index + 1);
  } catch (const std::exception& e) {
    throw EToolFileError(fileName_, WithLibraryReason(*graphic_, e.what()));
  }
  if (graphic_->Empty())
    throw EToolFileError(
        fileName_, WithLibraryReason(*graphic_, "page " + std::to_string(index + 1) + " of the file cannot be read"));
  page_.Owned.reset();
  page_.Coded = nullptr;
  page_.Borrowed = graphic_.get();
  const auto* tiff = dynamic_cast<const TTiffGraphic*>(graphic_.get());
  page_.SourceCompression = tiff ? static_cast<int>(tiff->Compression()) : -1;
  return page_;
}

TOutputPage& TPageSource::LoadFor(int index, const std::string& typeName, const TSaveOptions& options) {
  if (auto* jpeg = dynamic_cast<TJpegGraphic*>(graphic_.get())) {
    // Decoded all the same: a JPEG goes out as it is only when it decodes
    // cleanly; its pixels then are exactly those of its data.
    TOutputPage& page = Load(index);
    coded_.Strips.assign(1, {});
    std::vector<std::uint8_t>& bytes = coded_.Strips.front();
    stream_->SetPosition(0);
    bytes.resize(static_cast<std::size_t>(stream_->Size()));
    if (jpeg->LastWarningCount() == 0 && stream_->Read(bytes.data(), stream_->Size()) == stream_->Size() &&
        TJpegGraphic::PlainJpegData(bytes.data(), bytes.size(), coded_.Gray)) {
      coded_.Kind = TCodedPage::Jpeg;
      coded_.Width = jpeg->Width();
      coded_.Height = jpeg->Height();
      coded_.XPelsPerMeter = jpeg->XPelsPerMeter();
      coded_.YPelsPerMeter = jpeg->YPelsPerMeter();
      page.Coded = &coded_;
    }
    return page;
  }
  bool read = false;
  try {
    if (auto* pdf = dynamic_cast<TPdfGraphic*>(graphic_.get())) {
      read = pdf->ReadCodedPage(index + 1, coded_);
    } else if (dynamic_cast<TTiffGraphic*>(graphic_.get())) {
      if (!codedReader_) {
        codedStream_ = std::make_unique<TFileStream>(fileName_, TFileMode::fmOpenRead);
        codedReader_ = std::make_unique<TTiffCodedReader>(*codedStream_);
      }
      read = codedReader_->Read(index, coded_);
    }
  } catch (const std::exception&) {
    read = false;  // the decoding reader tells what is wrong
  }
  if (read) {
    page_.Owned.reset();
    page_.Borrowed = nullptr;
    page_.Coded = &coded_;
    page_.SourceCompression = dynamic_cast<TTiffGraphic*>(graphic_.get()) ? tcCCITT4 : -1;
    if (CodedPageFits(page_, typeName, options)) return page_;
  }
  return Load(index);
}

int DefaultTiffCompression(const TDibGraphic& page) {
  return page.ImageFormat() == ifBlackWhite ? tcCCITT4 : tcPackbits;
}

void WriteTiffPages(const std::string& target, int count, bool append,
                    const std::function<TOutputPage&(int index)>& getPage) {
  TSafeFile safe(target);
  std::error_code ec;
  bool exists = append && std::filesystem::is_regular_file(target, ec);
  if (exists) {
    std::filesystem::copy_file(target, safe.TempPath(), std::filesystem::copy_options::overwrite_existing, ec);
    if (ec) throw EToolFileError(target, "cannot copy the file to add pages to it: " + ec.message());
  }
  TTiffGraphic work;
  std::optional<TFileStream> file;
  std::optional<TTiffPageWriter> pages;
  try {
    file.emplace(safe.TempPath(), exists ? TFileMode::fmOpenReadWrite : TFileMode::fmCreate);
    pages.emplace(*file);
  } catch (const std::exception& e) {
    throw EToolFileError(target, e.what());
  }
  for (int i = 0; i < count; ++i) {
    TOutputPage& page = getPage(i);
    const bool coded = CodedPageFits(page, target, TSaveOptions{10, 0});
    if (!coded) {
      work.Assign(*page.Page());
      int compression = page.SourceCompression >= 0 ? page.SourceCompression : DefaultTiffCompression(work);
      if (!TiffCompressionAllowed(static_cast<TTiffCompression>(compression), work.ImageFormat()))
        compression = DefaultTiffCompression(work);
      work.SetCompression(static_cast<TTiffCompression>(compression));
    }
    try {
      pages->Write(work, coded ? page.Coded : nullptr);
    } catch (const std::exception& e) {
      throw EToolFileError(target, WithLibraryReason(work, e.what()));
    }
  }
  try {
    pages->Finish();
    file.reset();
  } catch (const std::exception& e) {
    throw EToolFileError(target, e.what());
  }
  try {
    safe.Commit();
  } catch (const std::exception& e) {
    throw EToolFileError(target, e.what());
  }
}
