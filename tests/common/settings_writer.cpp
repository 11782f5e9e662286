// Prints the settings path it derives; given FILE SECTION COUNT, writes keys k0.. one write each
// and exits with the number refused.
#include "common/mCommon.h"
#include "platform/PrivateProfile.h"

#include <QCoreApplication>
#include <QStringList>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() == 1)
        return std::fputs(mCommon::DefaultIniPath().toUtf8().constData(), stdout) < 0;
    int refused = 0;
    for (int i = 0; i < args[3].toInt(); ++i) {
        const QString key = QStringLiteral("k%1").arg(i);
        if (!platform::WritePrivateProfileText(args[2], key, key, args[1])) ++refused;
    }
    return refused > 254 ? 254 : refused;
}
