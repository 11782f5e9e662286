#include "Icons.h"

#include <QString>

// Outside any namespace, as Qt requires. The resources live in a static library, whose
// initialiser the linker would drop unless something refers to it.
static void InitIconResources() { Q_INIT_RESOURCE(duvix_icons); }

namespace resources {
namespace {

// PNG images only: PNG support is built into QtGui, while .ico needs an image plugin.
QIcon FromPngs(const QString& stem) {
    InitIconResources();
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        icon.addFile(QStringLiteral(":/duvix/icons/%1-%2.png").arg(stem).arg(size),
                     QSize(size, size));
    }
    return icon;
}

}  // namespace

QIcon ProgramIcon() {
    static const QIcon icon = FromPngs(QStringLiteral("program"));
    return icon;
}

QIcon ViewerIcon() {
    static const QIcon icon = FromPngs(QStringLiteral("viewer"));
    return icon;
}

}  // namespace resources
