// Registration of the Tiff format; the graphic class comes with its reader
// and writer.
void RegisterTiffFormat() {}
