// Reading pages one at a time and writing a corrected file page by page,
// in the file's own format, with the save compression and JPEG quality of
// the settings record.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "image/DibGraphic.h"
#include "utils/Utils.h"

// One corrected page on its way to the writer.
struct TCorrectedPage {
  std::unique_ptr<TDibGraphic> Page;
  int SourceCompression = -1;  // the TIFF compression it was read with, -1 for others
};

// Number of pages of a file; throws with the reader's message.
int CountPages(const std::string& fileName);
// Reads page index (0-based) of a file into a new graphic of the file's type.
TCorrectedPage LoadPage(const std::string& fileName, int index);

// Whether files of this name can be written (TIFF, PDF or JPEG).
bool CanWriteFileType(const std::string& fileName, std::string* reason);

// Does the part of writing a corrected page that needs no other page (the
// coding of Group 4 TIFF strips), so that workers can do it ahead of the
// writer. typeName's extension gives the output type, as for WritePages.
void PreparePageForWriting(TCorrectedPage& page, const std::string& typeName, const TSettingsRecord& settings);

// Writes pageCount pages to fileName (a new file) in the format of
// typeName's extension. getPage(i) is called once per page, in order; the
// page it returns stays alive until the next call or the end.
void WritePages(const std::string& fileName, const std::string& typeName, int pageCount,
                const TSettingsRecord& settings, const std::function<TCorrectedPage&(int)>& getPage);
