// Registration of the Jpeg format; the graphic class comes with its reader
// and writer.
void RegisterJpegFormat() {}
