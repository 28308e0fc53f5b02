// Registration of the Pdf format; the graphic class comes with its reader
// and writer.
void RegisterPdfFormat() {}
