// Reading the pages of one document file one at a time, and writing pages
// into a TIFF file after those it already holds.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "image/DibGraphic.h"
#include "image/Stream.h"
#include "image/TiffGraphic.h"
#include "pagework/PageWriter.h"

// One document file open for reading; Load() replaces the page held before.
class TPageSource {
 public:
  // Throws EToolFileError when the file cannot be opened or has no pages.
  explicit TPageSource(const std::string& fileName);
  int Count() const { return count_; }
  // Page index (0-based), valid until the next Load(). Throws EToolFileError.
  TOutputPage& Load(int index);
  // The same for writing into a file of typeName's type with options: the
  // page's coded data where it goes out as it is (CodedPageFits), no pixels
  // decoded; else the decoded page.
  TOutputPage& LoadFor(int index, const std::string& typeName, const TSaveOptions& options);

 private:
  std::string fileName_;
  std::unique_ptr<TDibGraphic> graphic_;
  std::unique_ptr<TFileStream> stream_;
  // Coded pages of a TIFF file, read on a stream of their own.
  std::unique_ptr<TFileStream> codedStream_;
  std::unique_ptr<TTiffCodedReader> codedReader_;
  TCodedPage coded_;
  TOutputPage page_;
  int count_ = 0;
};

// The TIFF compression a new page of the format takes (Group 4 for 1-bit
// pages, PackBits otherwise).
int DefaultTiffCompression(const TDibGraphic& page);

// Writes count pages into target: created when it does not exist (or
// append is false), else the pages follow the existing ones. A page whose
// SourceCompression is set keeps it; others take the default of their
// format. Through a temporary copy: on failure the target is as it was.
void WriteTiffPages(const std::string& target, int count, bool append,
                    const std::function<TOutputPage&(int index)>& getPage);
