// libFuzzer target: arbitrary bytes through the same entry the windows use for files.
#include "fuzz/TempFolder.h"
#include "imaging/Picture.h"

#include <QFile>

#include <QGuiApplication>
#include <QLoggingCategory>

#include <cstddef>
#include <cstdint>
#include <memory>

// Metafile text asks fontconfig for each new face name; it caches the answers for the whole
// process, which LeakSanitizer would report as leaks of the input that asked first.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\nleak:libfreetype.so\n";
}

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Without one, Qt makes a runtime folder in the temporary folder and leaves it there.
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        qputenv("XDG_RUNTIME_DIR",
                QFile::encodeName(fuzzing::TempFolder(QStringLiteral("duvix-fuzz-loader-"))));
    }
    static std::unique_ptr<QGuiApplication> app = std::make_unique<QGuiApplication>(*argc, *argv);
    QLoggingCategory::setFilterRules(QStringLiteral("qt.gui.icc=false\nqt.gui.imageio=false"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    // A small screen keeps reduced decodes small, so the fuzzer spends its time on parsing.
    const imaging::DisplayTarget target{QSize(640, 480), 1.0};
    auto touch = [](const imaging::LoadResult& r) {
        if (r.picture && !r.picture->image.isNull()) {
            // Touch the pixels so a short buffer shows up under AddressSanitizer.
            volatile QRgb sink =
                r.picture->image.pixel(r.picture->image.width() - 1, r.picture->image.height() - 1);
            (void)sink;
        }
    };
    touch(imaging::LoadPictureData(bytes, target));
    // Bitmaps and GIFs are cheap to read again for a tiny screen, where nearly every picture
    // goes through the row reducer's shrinking rather than its plain copy.
    if (bytes.startsWith("BM") || bytes.startsWith("GIF")) {
        touch(imaging::LoadPictureData(bytes, imaging::DisplayTarget{QSize(23, 17), 1.0}));
    }
    return 0;
}
