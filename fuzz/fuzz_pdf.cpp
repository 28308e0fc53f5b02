// Fuzz target of the PDF reader: parsing, page records, image data, and
// the whole page load for images of modest size.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "image/PdfGraphic.h"
#include "image/PdfParser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> bytes(data, data + size);
  TPDFParser parser;
  if (!parser.ParseBytes(bytes)) return 0;
  bool small = true;
  for (int i = 0; i < parser.PageCount() && i < 8; ++i) {
    const TPDFParser::TPageRecord* record = parser.Page(i);
    if (!record) continue;
    // Keep decoded sizes within what the fuzzer's memory limit allows.
    const std::uint64_t pixels = static_cast<std::uint64_t>(record->Width) * static_cast<std::uint64_t>(record->Height);
    if (pixels > (std::uint64_t{1} << 22)) {
      small = false;
      continue;
    }
    std::vector<std::uint8_t> image;
    int compression = 0;
    parser.PageImageData(*record, image, compression);
  }
  if (!small) return 0;
  TMemoryStream stream(std::move(bytes));
  TPdfGraphic graphic;
  try {
    const int count = graphic.GetImageCount(stream);
    for (int page = 1; page <= count && page <= 2; ++page) graphic.LoadImageFromStream(stream, page);
  } catch (const std::exception&) {
    // Decoder errors of a located image are reported as exceptions.
  }
  // Pages as coded data, written into a new document (Group 4 data of
  // unknown origin checked on the way, as TIFF strips are).
  try {
    std::vector<TCodedPage> pages(std::min(graphic.Parser().PageCount(), 2));
    int coded = 0;
    for (std::size_t i = 0; i < pages.size(); ++i) {
      if (!graphic.ReadCodedPage(static_cast<int>(i) + 1, pages[coded])) continue;
      pages[coded].Plain = false;
      ++coded;
    }
    if (coded > 0)
      graphic.SavePagesToPdfFile("/dev/null", coded, [&](int i) {
        return TPdfGraphic::TPageInput{nullptr, &pages[i]};
      });
  } catch (const std::exception&) {
  }
  return 0;
}
