// Conversion between the program's raster image and QImage, for drawing,
// the clipboard and anything else Qt handles.
//
// TDibGraphic -> QImage: 1 bit -> Format_Mono with the palette as colour
// table; 4 and 8 bits -> Format_Indexed8 with the palette; true colour ->
// Format_RGB32. QImage -> TDibGraphic: Mono / MonoLSB / Indexed8 with two
// colours -> ifBlackWhite with those colours; Indexed8 with up to 16 colours
// -> ifGray16 (when the table is the 16 grey levels) or ifColor16; with more
// -> ifGray256 (the 256 grey levels) or ifColor256; Grayscale8 -> ifGray256;
// everything else -> ifTrueColor, with translucent pixels laid over white.
// The resolution travels both ways as pixels per metre; a QImage without
// one gives the screen's. A null QImage gives an empty image and back.
#pragma once

#include <QImage>

#include "image/DibGraphic.h"

QImage DibToQImage(const TDibGraphic& dib);
void QImageToDib(const QImage& image, TDibGraphic& dib);
