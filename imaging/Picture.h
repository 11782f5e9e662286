#pragma once
// A loaded picture and the one function that loads every picture.
#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>
#include <atomic>
#include <cstdint>
#include <optional>

namespace imaging {

struct Picture {
    QImage image;         // display pixels in sRGB; may be reduced for the largest screen
                          // (JPEG: to its DCT reduction covering the fit; others: to the fit)
    int32_t Width = 0;    // natural width, HIMETRIC
    int32_t Height = 0;   // natural height, HIMETRIC
    QByteArray format;    // "bmp", "gif", "jpeg", "wmf"
    QSize naturalPixels;  // upright size in picture pixels (WMF: device pixels at natural size)
    QSize decodedPixels;  // what the decoder produced, upright (JPEG: at its DCT reduction)
    bool IsEmpty() const { return image.isNull(); }
};

// What the picture will be shown on: the largest screen, in device pixels.
struct DisplayTarget {
    QSize maxDevicePixels{1920, 1080};
    double devicePixelRatio = 1.0;
    // Every format reduced to its fit, JPEG too (otherwise kept at its DCT reduction): for a
    // picture drawn at exactly that size, as the viewer's is.
    bool reduceToFit = false;
};

// The screens this process sees now (largest screen, primary screen's ratio).
DisplayTarget CurrentDisplayTarget();

struct LoadResult {
    std::optional<Picture> picture;
    QString error;  // why it failed, when picture is empty
};

// Raised from another thread: a load that sees it gives up at its next read of the file.
using StopFlag = std::atomic<bool>;

// Recognises the format from the content, never the name. Never throws. Safe to run on several
// threads at once.
LoadResult LoadPictureFile(const QString& path, const DisplayTarget& target,
                           const StopFlag* stop = nullptr);
LoadResult LoadPictureData(const QByteArray& bytes, const DisplayTarget& target);

}  // namespace imaging
