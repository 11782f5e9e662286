#pragma once
// Shrinks a picture to its screen fit while its rows arrive, so the full-size picture never
// exists in memory: each output pixel is the exact area average of the source pixels it covers.
#include <QImage>
#include <QSize>

#include <cstdint>
#include <vector>

namespace imaging::detail {

class AreaReducer {
public:
    // fit must not be larger than source on either side. Rows come top to bottom, or bottom to
    // top when bottomUp. With alpha, pixels are premultiplied and the result keeps its alpha.
    AreaReducer(QSize source, QSize fit, bool alpha, bool bottomUp);

    // One row of source.width() pixels: 0xAARRGGBB words, or B,G,R byte triples. One reducer
    // takes one kind of row.
    void AddRow32(const uint32_t* row);
    void AddRow24(const uint8_t* row);

    // The reduced picture (RGB32 or ARGB32_Premultiplied) once every row is in.
    QImage Take();

private:
    struct Span {
        int first;    // first source pixel
        uint32_t w0;  // its weight
        int full;     // whole pixels after it
        uint32_t w1;  // weight of the one after those, 0 if none
    };
    void AddRow(const uint8_t* row, int bytes);
    void CopyRow(const uint8_t* row, int bytes);
    void EmitRow(int y);

    QSize source_, fit_;
    bool alpha_, bottomUp_;
    int bytes_ = 0;  // per source pixel, fixed by the first row
    std::vector<Span> spans_;
    // Source rows summed down the columns, weighted by how much of the output row they cover.
    std::vector<uint32_t> colCur_, colNext_;
    int rowsIn_ = 0;
    int outY_ = 0;
    double inverse_ = 1;
    QImage out_;
};

}  // namespace imaging::detail
