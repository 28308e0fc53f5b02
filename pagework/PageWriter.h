// Page files in and out, for every program and tool: reading one page of a
// file, and writing pages in the format of a file name's extension with the
// operator's save options. Files are written whole into a temporary file
// beside the target, which replaces the target only when complete, so a
// failure never leaves a half-written file where the operator's data was.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "image/DibGraphic.h"
#include "image/TiffGraphic.h"
#include "pagework/SettingsRecord.h"

// The save choices of the settings record.
struct TSaveOptions {
  int Compression = 10;  // F: 10 each page's own, 20 CCITT3, 30 CCITT4, 40 Deflate, 50 JPEG, 60 PackBits, 70 LZW
  int JpegQuality = 80;  // jQ, 1..100; 0 keeps each page's own
};
inline TSaveOptions SaveOptionsOf(const TSettingsRecord& s) { return TSaveOptions{s.F, s.jQ}; }

// The TIFF compression a page of the given format is written with for the
// choice f: 10 the compression its source was read with, 50 JPEG for pages
// that are not bilevel (bilevel pages keep the compression the page itself
// has, `own`), the others fixed.
TTiffCompression CompressionForChoice(int f, TImageFormat format, TTiffCompression own, TTiffCompression source);

// One page on its way to a file: either owned (read for this write, of the
// target's graphic class where it can be used as it is) or borrowed (copied
// before anything is changed on it).
struct TOutputPage {
  std::unique_ptr<TDibGraphic> Owned;
  const TDibGraphic* Borrowed = nullptr;
  // The compression the page's source was read with, -1 when unknown (then
  // the page's own, when it is a TIFF page).
  int SourceCompression = -1;
  // The page's data as its file codes it; written as it is where
  // CodedPageFits, else the pixels are written.
  const TCodedPage* Coded = nullptr;

  const TDibGraphic* Page() const { return Owned ? Owned.get() : Borrowed; }
};

// Number of pages of a file; throws with the reader's message (and the
// library's diagnosis for TIFF files).
int CountPages(const std::string& fileName);
// Reads page index (0-based) of a file into a new graphic of the file's type.
TOutputPage LoadPage(const std::string& fileName, int index);

// Whether the page's coded data goes into a file of typeName's type with
// these options as it is, giving the pixels it would give decoded and
// written: Group 4 data where the page would be written as Group 4 TIFF or
// as a PDF image, JPEG data into a PDF image.
bool CodedPageFits(const TOutputPage& page, const std::string& typeName, const TSaveOptions& options);

// Whether files of this name can be written (TIFF, PDF or JPEG).
bool CanWriteFileType(const std::string& fileName, std::string* reason);

// The part of writing an owned page that needs no other page (sets the TIFF
// compression and codes Group 4 strips), so that workers can do it ahead of
// the writer. typeName's extension gives the output type.
void PreparePageForWriting(TOutputPage& page, const std::string& typeName, const TSaveOptions& options);

// Called with the copy about to be written (page index from 0), after the
// save options were applied to it.
using TBeforeWritePage = std::function<void(TDibGraphic& page, int index)>;
// Called once per page, in order; the page returned stays alive until the
// next call or the end. A page whose coded data fits is written from it
// (not when beforeWrite is given: that works on pixels).
using TGetOutputPage = std::function<TOutputPage&(int index)>;

// Writes pageCount pages into the file `path` (created anew) in the format
// of typeName's extension: TIFF pages take the chosen compression (a page of
// a multi-page file whose format does not allow it keeps its own; a single
// page refuses with the TIFF writer's message), JPEG the quality. Throws on
// any failure; the caller owns what is left at `path`.
void WritePagesTo(const std::string& path, const std::string& typeName, int pageCount, const TSaveOptions& options,
                  const TGetOutputPage& getPage, const TBeforeWritePage& beforeWrite = nullptr);

// The same into `target` through a temporary file beside it, renamed over
// the target only when complete; on failure the target is as it was.
void WritePages(const std::string& target, int pageCount, const TSaveOptions& options, const TGetOutputPage& getPage,
                const TBeforeWritePage& beforeWrite = nullptr);

// Writes every frame of the image when it has frames, else the image itself,
// safely into target. sourceCompression is the compression a single image
// was read with (-1: its own when it is a TIFF page); frames keep each
// their own.
void WriteImageFile(const std::string& target, const TDibGraphic& image, const TSaveOptions& options,
                    int sourceCompression = -1, const TBeforeWritePage& beforeWrite = nullptr);
