// png_pixels FILE.png: the picture as a binary PPM (P6) on standard output, for the Python tests.
#include <QImage>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: png_pixels FILE.png\n");
        return 2;
    }
    const QImage image =
        QImage(QString::fromLocal8Bit(argv[1])).convertToFormat(QImage::Format_RGB888);
    if (image.isNull()) {
        std::fprintf(stderr, "png_pixels: cannot read %s\n", argv[1]);
        return 1;
    }
    std::printf("P6\n%d %d\n255\n", image.width(), image.height());
    for (int y = 0; y < image.height(); ++y) {
        std::fwrite(image.constScanLine(y), 3, static_cast<size_t>(image.width()), stdout);
    }
    return 0;
}
