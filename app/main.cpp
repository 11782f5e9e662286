// Start-up: the windowing layer, then Main. Reads no command line.
#include "app/modDuvix.h"
#include "platform/ErrorReport.h"
#include "platform/Form.h"

int main(int argc, char** argv) {
    platform::Application app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Duvix"));
    QGuiApplication::setDesktopFileName(QStringLiteral("duvix"));
    // A hidden but loaded window keeps the program alive; the last unload ends it.
    QApplication::setQuitOnLastWindowClosed(false);
    platform::Form::SetOnLastFormUnloaded([] { QCoreApplication::exit(0); });
    try {
        modDuvix::Main();
    } catch (const std::exception& e) {
        platform::ReportUnhandledError(e);
    }
    if (platform::Form::LoadedFormCount() == 0) {
        return 0;
    }
    return QApplication::exec();
}
