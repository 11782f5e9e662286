// Writes keys k0 .. k<count - 1> of one section into a settings file, one write each, as a
// second program sharing the file would. Exits with the number of writes refused.
#include "platform/PrivateProfile.h"

#include <QCoreApplication>
#include <QStringList>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 4) return 255;
    const int count = args[3].toInt();
    int refused = 0;
    for (int i = 0; i < count; ++i) {
        const QString key = QStringLiteral("k%1").arg(i);
        if (!platform::WritePrivateProfileText(args[2], key, key, args[1])) ++refused;
    }
    return refused > 254 ? 254 : refused;
}
