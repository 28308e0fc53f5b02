// Files of the document-tool tests: pages written and read back through the
// tools' own page source and writers, and the other programs' checks.
#pragma once

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "image/TiffGraphic.h"
#include "pagework/FileTypes.h"
#include "pagework/PageWriter.h"
#include "tools/work/PageSource.h"

// A TIFF of the given pages, each with the given compression.
inline void WriteTiff(const std::string& path, const std::vector<const TDibGraphic*>& pages,
                      TTiffCompression compression = tcCCITT4) {
  TOutputPage out;
  WriteTiffPages(path, static_cast<int>(pages.size()), false, [&](int i) -> TOutputPage& {
    out.Borrowed = pages[i];
    out.SourceCompression = compression;
    return out;
  });
}

// Every page of a file, decoded, with the TIFF compression it was read
// with (-1 for other types).
struct TReadPage {
  std::unique_ptr<TDibGraphic> Image;
  int Compression;
};
inline std::vector<TReadPage> ReadAll(const std::string& path) {
  std::vector<TReadPage> pages;
  TPageSource source(path);
  for (int i = 0; i < source.Count(); ++i) {
    TOutputPage& page = source.Load(i);
    auto copy = std::make_unique<TDibGraphic>();
    copy->Assign(*page.Page());
    pages.push_back({std::move(copy), page.SourceCompression});
  }
  return pages;
}

// qpdf --check for a PDF, tiffinfo -D for a TIFF.
inline bool IndependentCheck(const std::string& path) {
  const std::string command =
      IsPdfFile(path) ? "qpdf --check '" + path + "' >/dev/null 2>&1" : "tiffinfo -D '" + path + "' >/dev/null 2>&1";
  return std::system(command.c_str()) == 0;
}
