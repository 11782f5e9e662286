#pragma once
// Device-independent bitmaps as they appear inside metafile records.
#include <QImage>
#include <QList>

#include "imaging/wmf/WmfReader.h"

namespace imaging::wmf {

// Decodes a packed DIB (info header, colour table, bits) to an opaque ARGB32 image, top row first.
// With paletteIndices the colour table holds indices into `palette`. Null image when malformed or
// larger than the pixel cap; rows missing at the end stay transparent.
QImage DecodeDib(const Params& dib, bool paletteIndices, const QList<QRgb>& palette);

}  // namespace imaging::wmf
