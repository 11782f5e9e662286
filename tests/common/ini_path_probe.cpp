// Prints the settings file path as the running program derives it.
#include "common/mCommon.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::fputs(mCommon::DefaultIniPath().toUtf8().constData(), stdout);
    return 0;
}
