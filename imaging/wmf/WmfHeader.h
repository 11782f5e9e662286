#pragma once
// The optional placeable header and the metafile header.
#include <QByteArray>
#include <QPoint>
#include <QString>
#include <cstdint>
#include <optional>

namespace imaging::wmf {

struct Header {
    bool placeable = false;
    QPoint frameOrigin;        // placeable only: the picture's frame in logical units;
    QPoint frameExtent;        // the extent may be negative when the writer swapped the edges
    int unitsPerInch = 0;      // placeable only
    uint16_t objectCount = 0;  // size of the object table
    qsizetype firstRecord = 0;
};

std::optional<Header> ParseHeader(const QByteArray& bytes, QString* error);

}  // namespace imaging::wmf
